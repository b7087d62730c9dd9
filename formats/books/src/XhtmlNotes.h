// Footnotes and endnotes of an XHTML chapter, and the references to them.
#pragma once

#include <QString>

class QXmlStreamReader;

namespace moratutor::books {

class DocumentBuilder;

// A link back from a note to its reference (pandoc's "↩︎"): the note's label stands for it.
bool IsNoteBacklink(const QXmlStreamReader& reader);

// Follows the elements of one chapter: a note (epub:type footnote, endnote, rearnote, or
// an element with an id inside a "footnotes" container, as pandoc writes them) becomes a
// note of the builder, a reference (epub:type noteref, role doc-noteref, class
// footnote-ref) a reference to it. Text inside a notes container but outside its notes
// (a rule, a heading) is dropped.
class XhtmlNotes {
public:
    // True when the element was taken as a note, a container of notes or a reference.
    bool Start(const QXmlStreamReader& reader, const QString& name, int depth, DocumentBuilder& out);
    // True when the element at the depth ended one of them.
    bool End(int depth, DocumentBuilder& out);
    bool DropsText(const DocumentBuilder& out) const;

private:
    int containerFrom_ = -1;
    int noteFrom_ = -1;
    int referenceFrom_ = -1;
};

}  // namespace moratutor::books

#include "XhtmlNotes.h"

#include "moratutor/books/BookStructure.h"
#include "moratutor/books/DocumentBuilder.h"
#include "XmlSupport.h"

#include <QXmlStreamReader>

namespace moratutor::books {

namespace {

enum class NoteKind { None, Container, Note, Reference, Backlink };

// By epub:type, role, or the class names pandoc and other converters give them.
NoteKind KindOf(const QXmlStreamReader& reader) {
    for (const QXmlStreamAttribute& attribute : reader.attributes()) {
        const QStringView name = attribute.name();
        if (name != u"type" && name != u"class" && name != u"role") continue;
        for (const QStringView token : attribute.value().split(u' ', Qt::SkipEmptyParts)) {
            const QString lower = token.toString().toLower();  // LibreOffice writes class="Footnote"
            if (IsOneOf(lower, {u"footnotes", u"endnotes", u"rearnotes", u"doc-endnotes"})) return NoteKind::Container;
            if (IsOneOf(lower, {u"footnote", u"endnote", u"rearnote", u"doc-footnote", u"doc-endnote"})) return NoteKind::Note;
            if (name == u"type" && lower == u"note") return NoteKind::Note;
            if (IsOneOf(lower, {u"noteref", u"doc-noteref", u"footnote-ref"})) return NoteKind::Reference;
            if (IsOneOf(lower, {u"backlink", u"doc-backlink", u"footnote-back", u"footnote_20_symbol"})) return NoteKind::Backlink;
        }
    }
    return NoteKind::None;
}

}  // namespace

bool IsNoteBacklink(const QXmlStreamReader& reader) { return KindOf(reader) == NoteKind::Backlink; }

bool XhtmlNotes::Start(const QXmlStreamReader& reader, const QString& name, int depth, DocumentBuilder& out) {
    const NoteKind kind = KindOf(reader);
    const QXmlStreamAttributes attributes = reader.attributes();
    if (kind == NoteKind::Reference && name == u"a" && !out.InNote() && referenceFrom_ < 0) {
        const QString id = out.ScopedNoteId(attributes.value(QStringLiteral("href")).toString());
        if (id.isEmpty()) return false;
        out.StartNoteReference(id);
        referenceFrom_ = depth;
        return true;
    }
    if (out.InNote()) return false;
    const QString id = attributes.value(QStringLiteral("id")).toString();
    const bool inContainer = containerFrom_ >= 0 && IsOneOf(name, {u"li", u"aside", u"div", u"section", u"p", u"dd"});
    // A note without an id (LibreOffice's) is still a note, though nothing can refer to it.
    if (kind == NoteKind::Note || (inContainer && !id.isEmpty())) {
        out.BeginNote(id.isEmpty() ? id : out.ScopedNoteId(u'#' + id));
        noteFrom_ = depth;
        return true;
    }
    if (kind == NoteKind::Container && containerFrom_ < 0) {
        out.EndParagraph();
        containerFrom_ = depth;
        return true;
    }
    return false;
}

bool XhtmlNotes::End(int depth, DocumentBuilder& out) {
    if (depth == referenceFrom_) {
        out.EndNoteReference();
        referenceFrom_ = -1;
    } else if (depth == noteFrom_) {
        out.EndNote();
        noteFrom_ = -1;
    } else if (depth == containerFrom_) {
        out.EndParagraph();
        containerFrom_ = -1;
    } else {
        return false;
    }
    return true;
}

bool XhtmlNotes::DropsText(const DocumentBuilder& out) const { return containerFrom_ >= 0 && !out.InNote(); }

}  // namespace moratutor::books

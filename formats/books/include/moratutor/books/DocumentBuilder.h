// Collects the paragraphs a book reader finds and puts them into a QTextDocument.
#pragma once

#include "moratutor/books/BookLimits.h"

#include <QString>
#include <QStringView>
#include <QHash>
#include <QTextBlockFormat>
#include <QTextCharFormat>

#include <cstddef>
#include <memory>
#include <vector>

class QTextDocument;

namespace moratutor::books {

// Text arrives as markup carries it: whitespace runs of the source collapse into one
// space and vanish at the edges of a paragraph, as a browser shows them. A paragraph
// without visible text is dropped. Heading paragraphs get bold, larger text and the
// block's heading level.
class DocumentBuilder {
public:
    DocumentBuilder(QTextDocument& document, const BookReadLimits& limits);

    // Ends the paragraph being collected and starts another.
    void StartParagraph(int headingLevel = 0);
    void EndParagraph();
    void AddText(QStringView text);
    void AddLineBreak();
    void SetBold(bool on) { bold_ += on ? 1 : -1; }
    void SetItalic(bool on) { italic_ += on ? 1 : -1; }
    // Forgets emphasis a cut-off document left open.
    void ResetEmphasis() { bold_ = italic_ = 0; }

    // Notes (see BookStructure.h). Paragraphs between BeginNote and EndNote belong to the
    // note and are kept apart until AppendNotes puts them at the document's end. A heading
    // paragraph that opens a note is its label; without one the label is the text of the
    // first reference to the note, else the note's number. The notes go in the order of
    // their first references, then those nothing refers to in the order read.
    // A note without an id gets one of its own.
    void BeginNote(const QString& id);
    void EndNote();
    bool InNote() const { return inNote_; }
    // Text between StartNoteReference and EndNoteReference refers to the note with the id.
    // A link only perhaps to a note (not marked as one) is taken for a reference only when
    // its text is short, as a note's number or sign is.
    void StartNoteReference(const QString& id, bool certain = true);
    void EndNoteReference();
    // Puts the notes read so far, under their heading, at the end of the document.
    void AppendNotes();
    // Notes' ids are unique only inside a file: the chapter being read (its file name)
    // scopes the ids its notes and its references to notes within the file carry.
    void SetNoteScope(const QString& file) { noteScope_ = file; }
    // The id of the note an href ("#fn1", "ch2.xhtml#fn1") points at; empty for none.
    QString ScopedNoteId(const QString& href) const;

    // True once a limit was passed; everything added after that is ignored.
    bool Overflowed() const { return overflowed_; }
    std::size_t Paragraphs() const { return paragraphs_; }

private:
    struct Run {
        QString Text;
        bool Bold = false;
        bool Italic = false;
        QString Href;  // "#id" of the note a reference points at
    };
    // A note read, its label put in front once all references are known.
    struct PendingNote {
        QString Id;
        QString Label;  // its own (an FB2 note's title); empty when it has none
        std::vector<std::vector<Run>> Paragraphs;
    };
    void Append(QStringView text, bool bold, bool italic);
    void Insert(const QTextBlockFormat& format, const std::vector<Run>& runs, bool first);
    void KeepNoteParagraph(int level);

    // Notes
    bool inNote_ = false;
    QString href_;
    bool hrefCertain_ = true;
    QString noteScope_;
    QString referenceText_;
    QHash<QString, QString> referenceLabels_;  // note id, its reference's text
    QHash<QString, QString> labelOwners_;      // a label, the note that has it
    std::vector<QString> referenceOrder_;      // note ids as first referred to
    int lastNumber_ = 0;                       // the highest numeric label given
    std::vector<PendingNote> notes_;
    std::size_t bodyParagraphs_ = 0;

    bool OverBudget() const;

    QTextDocument& document_;
    const BookReadLimits& limits_;
    std::vector<Run> runs_;
    int headingLevel_ = 0;
    int bold_ = 0;
    int italic_ = 0;
    bool pendingSpace_ = false;
    bool pendingSpaceBold_ = false;
    bool pendingSpaceItalic_ = false;
    bool hasText_ = false;
    bool overflowed_ = false;
    std::size_t paragraphs_ = 0;
    std::size_t characters_ = 0;
    std::size_t runCount_ = 0;  // formatted runs of all paragraphs
};

// Puts the whole of source at the end of target, in a paragraph of its own.
void AppendDocument(QTextDocument& target, const QTextDocument& source);

// Where a reader builds its text so that a refused book leaves the document as it was: an
// empty document is filled directly (a copy of a large book would double the memory it
// takes), any other through a scratch document appended on Commit.
class DocumentAside {
public:
    explicit DocumentAside(QTextDocument& document);
    ~DocumentAside();  // without Commit: the document as it was
    QTextDocument& Target() { return direct_ ? document_ : *scratch_; }
    void Commit();
    DocumentAside(const DocumentAside&) = delete;
    DocumentAside& operator=(const DocumentAside&) = delete;

private:
    QTextDocument& document_;
    std::unique_ptr<QTextDocument> scratch_;
    bool direct_;
    bool committed_ = false;
};

}  // namespace moratutor::books

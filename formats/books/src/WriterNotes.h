// What the EPUB and FB2 writers share about notes and a book's details.
#pragma once

#include "moratutor/books/BookInfo.h"

#include <QHash>
#include <QString>
#include <QTextBlock>

#include <vector>

class QTextDocument;

namespace moratutor::books {

// A note at the document's end (see BookStructure.h) and its paragraphs.
struct Note {
    QString Label;
    std::vector<QTextBlock> Blocks;
};

// The notes, each under the id it has in the book written ("n1", "n2" …: a source's ids
// need not be valid XML names).
struct Notes {
    QTextBlock Start;  // the first block of the notes; invalid when the document has none
    std::vector<Note> List;
    QHash<QString, qsizetype> Index;  // the document's note id, the place in List

    // "n1" for the document's id of the first note; empty for an id no note has.
    QString IdOf(const QString& documentId) const;
};

// Only the document's tail of notes and blank paragraphs: anything typed after them keeps
// them text.
Notes CollectNotes(const QTextDocument& document);

// How many characters the label and its space take at the start of the note's first
// paragraph; 0 when the paragraph does not start with it.
qsizetype NoteLabelLength(const QTextBlock& block, const QString& label);

// The note's label, its number when it has none.
QString NoteLabel(const Note& note, std::size_t index);

// A language tag as BCP 47 shapes it, else Russian.
QString LanguageTag(const QString& language);

// "cover.jpg", "cover.png" … by the image's type; empty for a type books do not carry.
QString CoverFileName(const BookInfo& book);

}  // namespace moratutor::books

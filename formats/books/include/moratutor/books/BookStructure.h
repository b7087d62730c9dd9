// How chapters and notes are kept inside a QTextDocument, so that they pass through the
// conversion and reach every writer.
//
// Chapters are heading paragraphs (QTextBlockFormat::headingLevel 1–6; 1 is a chapter).
// Notes lie together at the document's end: a heading paragraph marked kNotesHeading
// ("Примечания"), then the notes' paragraphs, each marked kNoteId with its note's id; the
// first paragraph of a note starts with the note's label (kNoteLabel, "1", "*") and a
// space. A reference to a note in the running text is an anchor (QTextCharFormat::anchorHref
// "#id") raised as a superscript. A format that cannot carry notes (plain text, RTF) still
// has them at the end under their heading.
#pragma once

#include <QString>
#include <QTextFormat>

class QTextBlock;
class QTextDocument;

namespace moratutor::books {

inline constexpr int kNotesHeading = QTextFormat::UserProperty + 0x4D01;  // bool
inline constexpr int kNoteId = QTextFormat::UserProperty + 0x4D02;        // QString
inline constexpr int kNoteLabel = QTextFormat::UserProperty + 0x4D03;     // QString

// "Примечания", the heading above the notes.
QString NotesHeadingText();

// True for the notes' heading and the notes' paragraphs.
bool IsNotesBlock(const QTextBlock& block);

// The note's id of a reference's anchor ("#n1", "notes.xhtml#n1" give "n1"); empty when
// the anchor points at no note.
QString NoteIdOfHref(const QString& href);

// Makes the document look like a printed book: each chapter (a level 1 heading) but the
// first starts a new page, headings are bold and larger by their level.
void PrepareChaptersForPages(QTextDocument& document);

}  // namespace moratutor::books

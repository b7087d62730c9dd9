// What the book writers share: XML-safe text, a paragraph's runs with their emphasis and note
// references, and how markup writes them.
#pragma once

#include "moratutor/books/BookInfo.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QXmlStreamWriter>

#include <functional>
#include <string>
#include <vector>

class QTextBlock;

namespace moratutor::books::detail {

extern const QString kFb2Namespace;
extern const QString kProgram;

// The style sheet of EPUB and HTML: a face with kana, words kept whole at line ends.
QString StyleSheet();

// Only what XML 1.0 allows: tab, line feed, carriage return, U+0020 up, no lone surrogate,
// no U+FFFE or U+FFFF.
QString XmlSafe(const QString& text);

// One run of a paragraph: its text and its emphasis.
struct Run {
    QString Text;
    bool Bold = false;
    bool Italic = false;
    QString NoteId;  // of a reference to a note
};

std::vector<Run> RunsOf(const QTextBlock& block);
bool IsBlank(const QTextBlock& block);

// Writes the text, each line separator (U+2028, or a line feed of plain text) as an empty
// element named lineBreak.
void WriteLines(QXmlStreamWriter& xml, const QString& text, const QString& lineBreak);

// Starts the element of a reference to the note; false when the note is not in the book.
using NoteLink = std::function<bool(QXmlStreamWriter&, const QString& noteId)>;

// The runs of a paragraph, and the paragraph's end, with the elements each markup uses for
// bold and italic. Inside a paragraph nothing is indented: a reader would take the
// indentation for spaces.
void WriteRuns(QXmlStreamWriter& xml, const std::vector<Run>& runs, const QString& bold, const QString& italic,
               const QString& lineBreak, const NoteLink& link = {});

// A note paragraph's runs without the label its first paragraph starts with.
std::vector<Run> NoteRuns(const QTextBlock& block, const QString& label);

// A book with only its title known.
BookInfo TitledBook(const QString& title);

// The annotation's paragraphs, each as XML can carry it.
QStringList AnnotationLines(const BookInfo& book);

std::string ToStd(const QByteArray& bytes);

}  // namespace moratutor::books::detail

// Small books written by the tests, and what a loaded document holds.
#pragma once

#include "moratutor/books/BookLimits.h"
#include "moratutor/books/DocumentLoader.h"

#include <QString>
#include <QStringList>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

class QTextDocument;

// Readable failures: gtest prints QStrings (and lists of them) as UTF-8.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace moratutor::testing {

// A FictionBook with the given body content and book title.
std::string Fb2(const std::string& body, const std::string& title = "Книга");

// An EPUB 3 whose spine lists the chapters in the order given; each chapter is
// (file name, body content). The package lies in OEBPS/.
std::string Epub(const std::vector<std::pair<std::string, std::string>>& chapters, const std::string& title = "Книга",
                 const std::string& extraSpine = {});

// An XHTML chapter with the given body content.
std::string Xhtml(const std::string& body);

// The document's paragraphs, headings marked "#N " (N their level), bold text in *…*,
// italic in _…_.
QStringList Marked(const QTextDocument& document);

struct Loaded {
    books::BookReadStatus Status;
    QStringList Paragraphs;  // as Marked() gives them
    QString Title;
    books::DocumentType Type;
    bool Damaged;
    QString Message;  // what the user would be told of a refusal
};
Loaded Load(const std::string& bytes, const books::BookReadLimits& limits = {});

std::string ReadFileBytes(const QString& path);

// True when the program can be run (found on PATH).
bool HaveProgram(const char* name);

// Debian's epubcheck jar, empty when it or java is missing.
QString EpubcheckJar();

// Runs the program, returns its exit code and fills output with its standard output.
int RunProgram(const QString& program, const QStringList& arguments, QByteArray* output = nullptr);

}  // namespace moratutor::testing

// Writes a QTextDocument as an e-book (EPUB 3, FictionBook 2) or a web page.
#pragma once

#include "moratutor/books/BookInfo.h"

#include <QString>

#include <optional>
#include <string>

class QTextDocument;

namespace moratutor::books {

// The faces the books' style sheets ask for: one that shows kana comes first.
inline constexpr const char* kBookFontFamilies = "\"IPAGothic\", \"IPAPGothic\", \"Noto Sans CJK JP\", \"MS Gothic\", sans-serif";

// Every paragraph of the document becomes a paragraph of the book, a line break inside
// one a line break, heading paragraphs headings; bold and italic are kept. The language is
// Russian. Characters XML cannot carry (control characters, lone surrogates) are left out.

// Chapters and notes as BookStructure.h keeps them: EPUB has a file per chapter (a level 1
// heading, or a long stretch of text), a contents listing the headings of levels 1 and 2,
// and the notes as EPUB 3 footnotes with links both ways; FB2 a section with its title per
// heading, nested as the headings are, and a notes body. The book's details (authors,
// language, annotation, cover) are written where given; without authors the program
// names itself.

// An EPUB 3 package that passes epubcheck; empty only if the zip library fails.
std::optional<std::string> WriteEpubBook(const QTextDocument& document, const BookInfo& book);
std::optional<std::string> WriteEpub(const QTextDocument& document, const QString& title);

// A FictionBook 2 document in UTF-8.
std::string WriteFb2Book(const QTextDocument& document, const BookInfo& book);
std::string WriteFb2(const QTextDocument& document, const QString& title);

// An HTML5 page in UTF-8.
std::string WriteHtml(const QTextDocument& document, const QString& title);

}  // namespace moratutor::books

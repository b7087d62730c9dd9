// Reads web pages into a QTextDocument.
#pragma once

#include "moratutor/books/BookLimits.h"

#include <QString>

#include <string_view>

class QTextDocument;

namespace moratutor::books {

// True when the bytes begin (after a byte-order mark, white space and comments) with
// markup and an <html>, <head> or <body> tag or an HTML document type comes early.
bool LooksLikeHtml(std::string_view bytes);

// Appends the page's text at the end of document: paragraphs, headings as heading
// paragraphs, bold and italic. Images, scripts, style sheets and the head are left out;
// the <title> goes to *title when given. The charset comes from a byte-order mark or a
// <meta> charset; without one, valid UTF-8 is UTF-8 and anything else Windows-1251.
BookReadStatus ReadHtml(std::string_view bytes, QTextDocument& document, const BookReadLimits& limits = {},
                        QString* title = nullptr);

}  // namespace moratutor::books

// Reads the text of one XHTML document (an EPUB's chapter) into a DocumentBuilder.
#pragma once

#include "moratutor/books/BookLimits.h"

#include <QString>

namespace moratutor::books {

class DocumentBuilder;

// Paragraphs, headings (h1 to h6 as heading paragraphs), list items and table cells as
// paragraphs, b/strong bold, i/em/cite italic, br a line break. The head, scripts, style
// sheets, images, navigation and notes (epub:type footnote, endnote, rearnote) are left
// out; the head's <title> goes to *title when given. A document cut off or malformed part
// way gives what came before: Ok, or Damaged when not even its root element could be
// read; *wellFormed (when given) says whether all of it was well-formed XML.
BookReadStatus ReadXhtml(const QString& text, DocumentBuilder& out, const BookReadLimits& limits,
                         QString* title = nullptr, bool* wellFormed = nullptr);

}  // namespace moratutor::books

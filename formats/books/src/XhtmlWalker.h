// Reads the text of one XHTML document (an EPUB's chapter) into a DocumentBuilder.
#pragma once

#include "moratutor/books/BookLimits.h"

#include <QString>

namespace moratutor::books {

class DocumentBuilder;

enum class XmlDamage {
    Stop,    // the text ends where the damage begins
    ReadOn,  // read on past it (ResumingXmlReader)
};

// Paragraphs, headings (h1 to h6 as heading paragraphs), list items and table cells as
// paragraphs, b/strong bold, i/em/cite italic, br a line break. Notes and references to
// them go to the builder's notes (XhtmlNotes.h). The head, scripts, style sheets, images
// and navigation are left out; the head's <title> goes to info->Title when given. A document that is not
// well-formed is read as onDamage says, info->Damaged telling so: Ok, or Damaged when not
// even its root element could be read.
BookReadStatus ReadXhtml(const QString& text, DocumentBuilder& out, const BookReadLimits& limits, XmlDamage onDamage,
                         BookInfo* info = nullptr);

}  // namespace moratutor::books

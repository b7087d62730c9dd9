// Reads FictionBook 2 documents into a QTextDocument.
#pragma once

#include "moratutor/books/BookInfo.h"
#include "moratutor/books/BookLimits.h"

#include <QString>

#include <string_view>

class QTextDocument;

namespace moratutor::books {

// True when the bytes are XML whose root element is FictionBook.
bool LooksLikeFb2(std::string_view bytes);

// Appends the main body's text at the end of document: titles as heading paragraphs (a
// chapter's level 1, its sections' 2 and down), subtitles one level below their section's,
// paragraphs, verses, epigraphs and citations as paragraphs, strong and emphasis as bold
// and italic. The notes bodies' notes come after the text as notes and references to them
// as anchors (BookStructure.h). Images, binaries and the style sheet are left out; the
// description's book title and the book's details go to *info when given. A document cut
// off keeps what came before, a malformed one is read on past the damage
// (ResumingXmlReader), and info->Damaged says so; on any status but Ok the document is
// left as it was.
BookReadStatus ReadFb2(std::string_view bytes, QTextDocument& document, const BookReadLimits& limits = {},
                       BookInfo* info = nullptr);

}  // namespace moratutor::books

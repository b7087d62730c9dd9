// Reads FictionBook 2 documents into a QTextDocument.
#pragma once

#include "moratutor/books/BookLimits.h"

#include <QString>

#include <string_view>

class QTextDocument;

namespace moratutor::books {

// True when the bytes are XML whose root element is FictionBook.
bool LooksLikeFb2(std::string_view bytes);

// Appends the main body's text at the end of document: titles and subtitles as heading
// paragraphs, paragraphs, verses, epigraphs and citations as paragraphs, strong and
// emphasis as bold and italic. Notes' bodies, images, binaries, the style sheet and the
// description are left out; the description's book title goes to info->Title when given.
// A document cut off keeps what came before, a malformed one is read on past the damage
// (ResumingXmlReader), and info->Damaged says so; on any status but Ok the document is left
// as it was.
BookReadStatus ReadFb2(std::string_view bytes, QTextDocument& document, const BookReadLimits& limits = {},
                       BookInfo* info = nullptr);

}  // namespace moratutor::books

// Reads EPUB 2 and 3 books into a QTextDocument.
#pragma once

#include "moratutor/books/BookInfo.h"
#include "moratutor/books/BookLimits.h"

#include <QString>

class QTextDocument;

namespace moratutor::books {

class ZipReader;

// True when the archive's "mimetype" entry says application/epub+zip.
bool LooksLikeEpub(const ZipReader& archive);

// Appends the text of the spine's documents in reading order at the end of document (see
// ReadXhtml for what is kept); items marked linear="no" are left out. Footnotes and
// endnotes come after the text as notes (BookStructure.h). The package's dc:title goes to
// *title, the book's details to *info when given. A damaged chapter gives what could be
// read of it and the next chapter follows; on any status but Ok the document is left as
// it was.
BookReadStatus ReadEpub(const ZipReader& archive, QTextDocument& document, const BookReadLimits& limits = {},
                        QString* title = nullptr, BookInfo* info = nullptr);

}  // namespace moratutor::books

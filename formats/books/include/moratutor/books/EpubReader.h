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
// endnotes come after the text as notes (BookStructure.h). The package's dc:title and the
// book's details go to *info when given. A damaged chapter is read on past the damage
// (info->Damaged tells so) and the next chapter follows. Encrypted when the chapters are
// encrypted (an Adobe rights.xml, or encryption.xml naming a cipher other than the
// obfuscation of fonts); TooLarge, before anything is unpacked, when the chapters' stated
// sizes pass MaxUnpackedBytes. On any status but Ok the document is left as it was.
BookReadStatus ReadEpub(const ZipReader& archive, QTextDocument& document, const BookReadLimits& limits = {},
                        BookInfo* info = nullptr);

}  // namespace moratutor::books

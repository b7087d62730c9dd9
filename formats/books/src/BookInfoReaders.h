// The readers' side of a book's details (title, authors, language, annotation, cover).
#pragma once

#include "moratutor/books/BookInfo.h"

#include <QString>

namespace moratutor::books {

class ZipReader;

// From a FictionBook's title-info and the binary its coverpage names.
BookInfo ReadFb2Info(const QString& xml);

// From an EPUB package document (dc:title, dc:creator, dc:language, dc:description) and
// the cover image it names (EPUB 3 properties="cover-image", EPUB 2 <meta name="cover">).
// packageFolder is the package's folder inside the archive.
BookInfo ReadEpubInfo(const ZipReader& archive, const QString& packageXml, const QString& packageFolder);

}  // namespace moratutor::books

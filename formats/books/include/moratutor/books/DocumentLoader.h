// The one way a file's bytes become a document, for the window and the command-line tool.
#pragma once

#include "moratutor/books/BookInfo.h"
#include "moratutor/books/BookLimits.h"

#include <QString>

#include <string_view>

class QTextDocument;

namespace moratutor::books {

enum class DocumentType { PlainText, Rtf, Fb2, ZippedFb2, Epub, Html, UnknownZip, Binary };

// What the content says the bytes are, never the name: "{\rtf" RTF; XML whose root is
// FictionBook FB2; a zip whose "mimetype" is application/epub+zip EPUB, a zip holding a
// FictionBook zipped FB2; markup with <html>, <head> or <body> HTML; anything else text
// (which BinaryContent may yet find to be no text).
DocumentType DetectDocumentType(std::string_view bytes);

// What the bytes look like when they are no text: an image, a PDF, an archive or an office
// document by its signature ("изображение PNG"), "двоичные данные" for NUL bytes without a
// UTF-16 byte-order mark; empty for what may be text.
QString BinaryContent(std::string_view bytes);

struct LoadedDocument {
    DocumentType Type = DocumentType::PlainText;
    // An FB2's or EPUB's details; for a page its title alone. Title is empty when the book or
    // page has none; Damaged: read past damage, the user is to be told (DamagedBookWarning).
    BookInfo Book;
    QString LooksLike;  // for Binary: what the bytes look like ("изображение PNG")
};

// Appends the text of the bytes at the end of document, read as DetectDocumentType says:
// books and pages with their paragraphs, headings and emphasis, RTF with its formatting,
// plain text through the text decoder (UTF-8, UTF-16 with a byte-order mark, else
// Windows-1251). The title is also set as the document's DocumentTitle. On any status but
// Ok the document is left as it was and LoadErrorMessage(status, loaded) is what the
// user is told. Binary content is refused (BookReadStatus::Binary, loaded->LooksLike).
BookReadStatus LoadDocument(std::string_view bytes, QTextDocument& document, LoadedDocument* loaded = nullptr,
                            const BookReadLimits& limits = {});

// "Failed to Load Stream", the words the program has for a file it cannot read.
QString LoadErrorMessage();

// The message for a load that ended with status: what an encrypted book or binary content
// is, "Failed to Load Stream" for anything else.
QString LoadErrorMessage(BookReadStatus status, const LoadedDocument& loaded);

// What the user is told, once the text is shown, of a book read past damage.
QString DamagedBookWarning();

}  // namespace moratutor::books

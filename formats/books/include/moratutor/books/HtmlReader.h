// Reads web pages into a QTextDocument.
#pragma once

#include "moratutor/books/BookLimits.h"

#include <QString>
#include <QTextDocument>
#include <QUrl>
#include <QVariant>

#include <string_view>


namespace moratutor::books {

// True when the bytes begin (after a byte-order mark, white space and comments) with
// markup and an <html>, <head> or <body> tag or an HTML document type comes early.
bool LooksLikeHtml(std::string_view bytes);

// Appends the page's text at the end of document: paragraphs, headings as heading
// paragraphs, bold and italic. Images, scripts, style sheets and the head are left out;
// the <title> goes to info->Title when given. The charset comes from a byte-order mark or
// a <meta> charset; without one, valid UTF-8 is UTF-8 and anything else Windows-1251.
// Nothing the page names (style sheets, images, frames) is loaded.
BookReadStatus ReadHtml(std::string_view bytes, QTextDocument& document, const BookReadLimits& limits = {},
                        BookInfo* info = nullptr);

// A document that loads nothing a page names (@import, <link>, <img>): QTextDocument's own
// loadResource reads any file or URL, /dev/zero without end. Only the program's embedded
// resources (":/…", qrc:) and data: URLs load as usual; anything else gets a blank image (an
// empty answer would make Qt read an image's file directly), which a style sheet ignores.
// Every document a page or pasted HTML goes into is one.
class SealedDocument : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int type, const QUrl& name) override;
};

}  // namespace moratutor::books

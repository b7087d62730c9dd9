// A book through the converter: read with its details, chapters and notes, and written
// with the converted text put back into that shape.
#pragma once

#include "DocumentIo.h"

#include "moratutor/books/BookInfo.h"

#include <memory>
#include <string>
#include <string_view>

class QTextDocument;

namespace moratutor::convert {

struct LoadedBook {
    std::u16string Text;  // one paragraph per line, as LoadDocumentText gives it
    books::BookInfo Info;
    std::shared_ptr<const QTextDocument> Document;  // the paragraphs as read
};

// A book, page or RTF document; throws DocumentError("Failed to Load Stream") for one that
// cannot be read.
LoadedBook LoadBook(std::string_view bytes);

// The converted text in the source's paragraphs: each paragraph keeps its block format
// (heading level, notes), a paragraph in one character format keeps it, and references to
// notes stay references. Empty when the text's lines no longer match the paragraphs.
std::unique_ptr<QTextDocument> ConvertedBookDocument(const QTextDocument& source, const std::u16string& converted);

// RenderDocument for a book: the converted text in the book's shape, with its details;
// the title given when the book has none. Without a book, or when the shape cannot be
// kept, it is RenderDocument.
std::string RenderBook(OutputFormat format, const std::u16string& converted, const std::string& title,
                       const LoadedBook* book);

}  // namespace moratutor::convert

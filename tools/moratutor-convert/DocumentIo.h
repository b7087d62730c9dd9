// Books in and out for moratutor-convert: what the window reads, the tool reads, and it
// writes the formats the window saves and exports.
#pragma once

#include "moratutor/books/BookInfo.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

class QTextDocument;

namespace moratutor::convert {

enum class OutputFormat { Txt, Rtf, Epub, Fb2, Pdf, Html };

// "txt", "rtf", "epub", "fb2", "pdf" or "html"; empty for anything else.
std::optional<OutputFormat> ParseOutputFormat(const std::string& name);

// The format the file name's extension names, txt when it names none of them.
OutputFormat FormatFromFileName(const std::string& path);

// A file the tool cannot read or write; what() is the message for the user.
class DocumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True when the bytes are plain text rather than RTF, FB2, EPUB or HTML.
bool IsPlainText(std::string_view bytes);

// The text of a book, page or RTF document, one paragraph per line; its own title goes to
// *title, a book's details to *info, the document as read to *document. Throws
// DocumentError("Failed to Load Stream") for one that cannot be read.
std::u16string LoadDocumentText(std::string_view bytes, std::string* title, books::BookInfo* info = nullptr,
                                std::shared_ptr<const QTextDocument>* read = nullptr);

// The converted text as a file of the format; the title names the book. Throws
// DocumentError when the format cannot be made.
std::string RenderDocument(OutputFormat format, const std::u16string& text, const std::string& title);

// Writes the file safely: a failure leaves an existing file as it was. Throws DocumentError.
void WriteDocumentFile(const std::string& path, const std::string& bytes);

// The title for a book made from the file when the input has none of its own: the file's
// name without folder and extensions ("book.fb2.zip" gives "book").
std::string TitleFromFileName(const std::string& path);

}  // namespace moratutor::convert

// Books in and out for moratutor-convert: what the window reads, the tool reads, and it
// writes the formats the window saves and exports.
#pragma once

#include "moratutor/books/BookInfo.h"
#include "moratutor/converted/ConvertedFormats.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace moratutor::convert {

enum class OutputFormat { Txt, Rtf, Epub, Fb2, ZippedFb2, Pdf, Html };

// "txt", "rtf", "epub", "fb2", "fb2.zip", "pdf" or "html"; empty for anything else.
std::optional<OutputFormat> ParseOutputFormat(const std::string& name);

// The format the file name's extension names ("book.fb2.zip" and "book.zip" a zipped
// FB2), txt when it names none of them.
OutputFormat FormatFromFileName(const std::string& path);

// A file the tool cannot read or write; what() is the message for the user.
class DocumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True when the bytes are plain text rather than RTF, FB2, EPUB, HTML or no text at all.
bool IsPlainText(std::string_view bytes);

// The text of a book, page or RTF document, one paragraph per line; its own title goes to
// *title, its formatting to *formats, whether it was read past damage to *damaged, a
// book's details (authors, language, annotation, cover) to *details. Throws DocumentError
// for one that cannot be read ("Failed to Load Stream", or what an encrypted book or
// binary data is).
std::u16string LoadDocumentText(std::string_view bytes, std::string* title,
                                converted::SourceFormats* formats = nullptr, bool* damaged = nullptr,
                                books::BookInfo* details = nullptr);

// The warning line for a book read past damage.
std::string DamagedWarning();

// The converted text as a file of the format, formatted as `formats` (mapped to the text)
// says: a book's chapters and notes are in its formats. The title names the book, entryName
// the FB2 inside a zipped one; an EPUB or FB2 carries the details' authors, language,
// annotation and cover. Throws DocumentError when the format cannot be made.
std::string RenderDocument(OutputFormat format, const std::u16string& text, const std::string& title,
                           const converted::SourceFormats& formats = {}, const std::string& entryName = "book.fb2",
                           const books::BookInfo& details = {});

// The name of the FB2 inside the zipped FB2 written to path: "book.fb2.zip" holds "book.fb2".
std::string ZippedEntryName(const std::string& path);

// Writes the file safely: a failure leaves an existing file as it was. Throws DocumentError:
// "Cannot create file "PATH". REASON", or "Failed to Save Stream. REASON" when writing failed.
void WriteDocumentFile(const std::string& path, const std::string& bytes);

// The title for a book made from the file when the input has none of its own: the file's
// name without folder and extensions ("book.fb2.zip" gives "book").
std::string TitleFromFileName(const std::string& path);

}  // namespace moratutor::convert

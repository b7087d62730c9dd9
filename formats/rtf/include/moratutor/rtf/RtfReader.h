// Reads RTF documents (LibreOffice, Word, WordPad, TextEdit) into a QTextDocument.
#pragma once

#include <cstddef>
#include <string_view>

class QTextDocument;

namespace moratutor::rtf {

// What the reader refuses to handle: deeper nesting or a larger document is reported
// instead of read, so a hostile file cannot exhaust memory or time.
struct RtfReadLimits {
    int MaxDepth = 500;
    std::size_t MaxBytes = std::size_t{256} << 20;
    // A paragraph costs the editor far more memory than its "\par" costs the file.
    std::size_t MaxParagraphs = 2'000'000;
};

enum class RtfReadStatus {
    Ok,        // read; malformed parts were read as far as they made sense
    NotRtf,    // the bytes do not begin with "{\rtf"
    TooDeep,   // groups nested deeper than MaxDepth
    TooLarge,  // more than MaxBytes, or more than MaxParagraphs paragraphs
};

// True when the bytes begin with "{\rtf", which is what makes a file RTF.
bool LooksLikeRtf(std::string_view bytes);

// Appends the document's text with its visible character formatting (bold, italic,
// underline, strike-through, face, size, colour, highlight, sub/superscript) and
// paragraph alignment at the end of document. Malformed input (unbalanced braces,
// truncation, undeclared fonts or colours, a \bin past the end) is read as far as it
// goes. On any status but Ok the document is left as it was.
RtfReadStatus ReadRtf(std::string_view bytes, QTextDocument& document, const RtfReadLimits& limits = {});

}  // namespace moratutor::rtf

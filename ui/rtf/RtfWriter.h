// Writes a QTextDocument as one RTF document.
#pragma once

#include <string>

class QTextDocument;

namespace moratutor::rtf {

// The font the writer names for text without a face of its own: it shows kana, and its
// charset (SHIFTJIS) makes word processors pick a Japanese face if it is missing.
inline constexpr const char* kKanaFontName = "IPAGothic";
inline constexpr const char* kKanaFontAlternative = "MS Gothic";

// The document's text and character formatting (bold, italic, underline, strike-through,
// face, size, colour, highlight, sub/superscript) with paragraph alignment. The bytes are
// 7-bit ASCII: every character above 0x7E is written as \uN ? (N signed, as RTF wants),
// characters outside the BMP as their surrogate pair, and \ { } are escaped.
std::string WriteRtf(const QTextDocument& document);

}  // namespace moratutor::rtf

// Writes a QTextDocument as one RTF document.
#pragma once

#include <string>

class QTextDocument;

namespace moratutor::rtf {

// The font the writer names for double-byte text (kana): its charset (SHIFTJIS) makes word
// processors pick a Japanese face if it is missing. Other text is written in the document's
// own face, or the run's.
inline constexpr const char* kKanaFontName = "IPAGothic";
inline constexpr const char* kKanaFontAlternative = "MS Gothic";

// The document's text and character formatting (bold, italic, underline, strike-through,
// face, size, colour, highlight, sub/superscript) with paragraph alignment. The bytes are
// 7-bit ASCII: every character above 0x7E is written as \uN ? (N signed, as RTF wants),
// characters outside the BMP as their surrogate pair, and \ { } are escaped.
std::string WriteRtf(const QTextDocument& document);

}  // namespace moratutor::rtf

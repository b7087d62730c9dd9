// The program's one converter between UTF-8 and UTF-16.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace moratutor::codecs {

// The text of UTF-8 bytes. A byte that does not begin a well-formed sequence becomes one
// U+FFFD, so each stray byte costs exactly one character (a cut-off sequence gives one per
// byte, not one for the whole as ICU's own converter does).
std::u16string DecodeUtf8(std::string_view bytes);

// Plain UTF-8 without byte-order mark: every code unit kept, line breaks as they are, a
// lone surrogate written as U+FFFD.
std::string EncodeUtf8(std::u16string_view text);

// Appends the UTF-8 of the text to out, as EncodeUtf8 does.
void AppendUtf8(std::string& out, std::u16string_view text);

// How much of the bytes is well-formed UTF-8: multi-byte sequences, and bytes that begin none.
struct Utf8Census {
    std::size_t multiByte = 0;
    std::size_t stray = 0;
};
Utf8Census CountUtf8(std::string_view bytes);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values
// above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

}  // namespace moratutor::codecs

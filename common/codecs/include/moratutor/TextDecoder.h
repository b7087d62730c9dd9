// Decoding of plain-text files whose encoding is not declared.
#pragma once

#include "moratutor/Utf8.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace moratutor::codecs {

// The largest plain-text file read: 64 MiB, some thirty million Cyrillic letters, already
// far more than an editor pane handles comfortably.
inline constexpr std::size_t kMaxPlainTextBytes = std::size_t{64} << 20;

enum class TextEncoding { Utf8Bom, Utf16LE, Utf16BE, Utf8, Windows1251 };

// The encoding the bytes are read in: a UTF-8 byte-order mark means UTF-8, a UTF-16
// byte-order mark UTF-16 of that order, valid UTF-8 is UTF-8, and so is UTF-8 with a few
// stray bytes (at least four well-formed multi-byte sequences for each malformed byte;
// those bytes then read as U+FFFD); anything else is Windows-1251.
TextEncoding DetectEncoding(std::string_view bytes);

// The text of the bytes, byte-order mark removed, line breaks as they were.
std::u16string DecodeText(std::string_view bytes);

// The bytes read as Windows-1251, whatever they look like. Every byte gives one character;
// 0x98, which the code page leaves unassigned, gives U+0098 as on Windows.
std::u16string DecodeWindows1251(std::string_view bytes);

// The text in Windows-1251; a character the code page lacks becomes "?".
std::string EncodeWindows1251(std::u16string_view text);

}  // namespace moratutor::codecs

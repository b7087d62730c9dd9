// The UTF-8 text file the converted text is saved as.
#pragma once

#include "moratutor/Utf8.h"

#include <string>
#include <string_view>

namespace moratutor::codecs {

// EF BB BF, then every line of text encoded as UTF-8 and followed by CR LF. Line breaks
// are CR LF, lone CR, lone LF, U+2028 and the editor's paragraph separator U+2029; a
// final break adds no empty line, an empty text gives the byte-order mark alone. A
// surrogate pair becomes one four-byte sequence, a lone surrogate U+FFFD.
std::string EncodeUtf8Document(std::u16string_view text);

}  // namespace moratutor::codecs

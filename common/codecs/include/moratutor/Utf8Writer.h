// The UTF-8 text file the converted text is saved as.
#pragma once

#include <string>
#include <string_view>

namespace moratutor::codecs {

// EF BB BF, then every line of text encoded as UTF-8 and followed by CR LF. Line breaks
// are CR LF, lone CR, lone LF and U+2028; a final break adds no empty line; a lone
// surrogate is written as U+FFFD.
std::string EncodeUtf8Document(std::u16string_view text);

}  // namespace moratutor::codecs

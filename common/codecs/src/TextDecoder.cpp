// Placeholder so the tree builds; replaced by the real decoder.
#include "moratutor/TextDecoder.h"

namespace moratutor::codecs {
TextEncoding DetectEncoding(std::string_view) { return TextEncoding::Windows1251; }
std::u16string DecodeText(std::string_view bytes) { return std::u16string(bytes.begin(), bytes.end()); }
}  // namespace moratutor::codecs

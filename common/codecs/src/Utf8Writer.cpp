// Placeholder so the tree builds; replaced by the real writer.
#include "moratutor/Utf8Writer.h"

namespace moratutor::codecs {
std::string EncodeUtf8Document(std::u16string_view) { return "\xEF\xBB\xBF"; }
}  // namespace moratutor::codecs

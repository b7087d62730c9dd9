#include "moratutor/Utf8Writer.h"

#include <algorithm>
#include <cstddef>

namespace moratutor::codecs {

std::string EncodeUtf8Document(std::u16string_view text) {
    std::string out;
    out.reserve(3 + text.size() * 3 / 2 + 16);
    out += "\xEF\xBB\xBF";
    // Every line, the last one too, ends in CR LF; a break at the very end starts no line.
    constexpr std::u16string_view kBreaks = u"\r\n\u2028\u2029";  // U+2029: the pane's own paragraph separator
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find_first_of(kBreaks, start), text.size());
        AppendUtf8(out, text.substr(start, end - start));
        out += "\r\n";
        start = end + (text.substr(end, 2) == u"\r\n" ? 2 : 1);
    }
    return out;
}

}  // namespace moratutor::codecs

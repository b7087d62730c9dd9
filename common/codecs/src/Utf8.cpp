#include "moratutor/Utf8.h"

#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace moratutor::codecs {
namespace {

// Walks the bytes one character at a time; a malformed sequence yields -1 and only its
// first byte is passed over, so every stray byte is seen on its own.
template <typename OnCharacter>
void ForEachUtf8(std::string_view bytes, OnCharacter onCharacter) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::size_t length = bytes.size();
    for (std::size_t i = 0; i < length;) {
        const std::size_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0) i = start + 1;
        onCharacter(c, i - start);
    }
}

// ICU takes 32-bit lengths; chunks never end inside a surrogate pair.
constexpr std::size_t kChunkUnits = std::size_t{1} << 20;

}  // namespace

std::u16string DecodeUtf8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    ForEachUtf8(bytes, [&](UChar32 c, std::size_t) {
        if (c < 0) {
            out += u'\uFFFD';
        } else if (U_IS_BMP(c)) {
            out += static_cast<char16_t>(c);
        } else {
            out += static_cast<char16_t>(U16_LEAD(c));
            out += static_cast<char16_t>(U16_TRAIL(c));
        }
    });
    return out;
}

void AppendUtf8(std::string& out, std::u16string_view text) {
    while (!text.empty()) {
        std::size_t units = std::min(text.size(), kChunkUnits);
        if (units < text.size() && U16_IS_LEAD(text[units - 1])) --units;
        const std::size_t at = out.size();
        out.resize(at + units * 3);  // one unit is at most three bytes, a pair four
        int32_t length = 0;
        UErrorCode status = U_ZERO_ERROR;
        u_strToUTF8WithSub(out.data() + at, static_cast<int32_t>(units * 3), &length,
                           reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(units), 0xFFFD, nullptr,
                           &status);
        if (U_FAILURE(status)) throw std::runtime_error("The text cannot be encoded as UTF-8");
        out.resize(at + static_cast<std::size_t>(length));
        text.remove_prefix(units);
    }
}

std::string EncodeUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3 / 2 + 16);
    AppendUtf8(out, text);
    return out;
}

Utf8Census CountUtf8(std::string_view bytes) {
    Utf8Census census;
    ForEachUtf8(bytes, [&](UChar32 c, std::size_t length) {
        if (c < 0) ++census.stray;
        else if (length > 1) ++census.multiByte;
    });
    return census;
}

bool IsValidUtf8(std::string_view bytes) { return CountUtf8(bytes).stray == 0; }

}  // namespace moratutor::codecs

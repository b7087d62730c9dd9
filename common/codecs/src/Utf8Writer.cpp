#include "moratutor/Utf8Writer.h"

#include <cstddef>

namespace moratutor::codecs {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void AppendCodePoint(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Encodes the character that starts at text[i]; returns the index of its last code unit.
std::size_t AppendUnit(std::string& out, std::u16string_view text, std::size_t i) {
    const char16_t u = text[i];
    if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
        AppendCodePoint(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
        return i + 1;
    }
    // UTF-8 has no form for half a pair.
    AppendCodePoint(out, IsHighSurrogate(u) || IsLowSurrogate(u) ? kReplacement : char32_t(u));
    return i;
}

}  // namespace

std::string EncodeUtf8Document(std::u16string_view text) {
    std::string out;
    out.reserve(3 + text.size() * 3 / 2 + 16);
    out += "\xEF\xBB\xBF";

    // True while characters follow the last line break: only then does the text end
    // with an unterminated line that still needs its CR LF.
    bool openLine = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        switch (u) {
        case u'\r':
            if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            [[fallthrough]];
        case u'\n':
        case u'\u2028':
        case u'\u2029':  // the pane's own paragraph separator
            out += "\r\n";
            openLine = false;
            continue;
        default:
            break;
        }
        openLine = true;
        i = AppendUnit(out, text, i);
    }
    if (openLine) out += "\r\n";
    return out;
}

std::string EncodeUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) i = AppendUnit(out, text, i);
    return out;
}

}  // namespace moratutor::codecs

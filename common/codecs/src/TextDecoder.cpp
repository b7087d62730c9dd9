// Plain-text decoding by byte-order mark, then by UTF-8 validity, else Windows-1251.
#include "moratutor/TextDecoder.h"

#include <unicode/ucnv.h>

#include <cstdint>
#include <memory>
#include <stdexcept>

namespace moratutor::codecs {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

// Length of the well-formed UTF-8 sequence at bytes[i] and its code point, or 0 when it is
// malformed (overlong forms, surrogates and values above U+10FFFF included).
std::size_t Utf8Sequence(std::string_view bytes, std::size_t i, char32_t& cp) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = at(i);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    std::size_t length;
    char32_t min;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, cp = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, cp = lead & 0x07u;
    } else {
        return 0;
    }
    if (bytes.size() - i < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char c = at(i + k);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

// Malformed bytes become U+FFFD, one each.
std::u16string DecodeUtf8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    char32_t cp;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = Utf8Sequence(bytes, i, cp);
        if (n == 0) {
            out += kReplacement;
            ++i;
        } else {
            AppendCodePoint(out, cp);
            i += n;
        }
    }
    return out;
}

// Code units are passed on as they are, lone surrogates included; an odd last byte is U+FFFD.
std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string out;
    out.reserve(bytes.size() / 2 + 1);
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const unsigned b0 = static_cast<unsigned char>(bytes[i]);
        const unsigned b1 = static_cast<unsigned char>(bytes[i + 1]);
        out += static_cast<char16_t>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0);
    }
    if (i < bytes.size()) out += kReplacement;
    return out;
}

using Converter = std::unique_ptr<UConverter, decltype(&ucnv_close)>;

Converter OpenWindows1251() {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open("windows-1251", &status), &ucnv_close);
    if (U_FAILURE(status)) throw std::runtime_error("The Windows-1251 converter is not available");
    return converter;
}

// Valid UTF-8 but for a few stray bytes: at least this many well-formed multi-byte
// sequences for each malformed byte. Windows-1251 Russian text forms such sequences only by
// chance (a capital letter before «, », ё or №): about one for every 600 of its malformed
// bytes, never more than one for every three even in short passages.
constexpr std::size_t kSequencesPerStrayByte = 4;

bool LooksLikeUtf8(std::string_view bytes) {
    std::size_t multiByte = 0;
    std::size_t stray = 0;
    char32_t cp;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = Utf8Sequence(bytes, i, cp);
        if (n == 0) {
            ++stray;
            ++i;
        } else {
            if (n > 1) ++multiByte;
            i += n;
        }
    }
    return stray == 0 || multiByte >= kSequencesPerStrayByte * stray;
}

void CheckLength(std::size_t length) {
    if (length > static_cast<std::size_t>(INT32_MAX)) throw std::length_error("The text is too long to convert");
}

}  // namespace

TextEncoding DetectEncoding(std::string_view bytes) {
    if (StartsWith(bytes, "\xEF\xBB\xBF")) return TextEncoding::Utf8Bom;
    if (StartsWith(bytes, "\xFF\xFE")) return TextEncoding::Utf16LE;
    if (StartsWith(bytes, "\xFE\xFF")) return TextEncoding::Utf16BE;
    if (LooksLikeUtf8(bytes)) return TextEncoding::Utf8;
    return TextEncoding::Windows1251;
}

std::u16string DecodeText(std::string_view bytes) {
    switch (DetectEncoding(bytes)) {
    case TextEncoding::Utf8Bom:
        return DecodeUtf8(bytes.substr(3));
    case TextEncoding::Utf16LE:
        return DecodeUtf16(bytes.substr(2), false);
    case TextEncoding::Utf16BE:
        return DecodeUtf16(bytes.substr(2), true);
    case TextEncoding::Utf8:
        return DecodeUtf8(bytes);
    case TextEncoding::Windows1251:
        break;
    }
    return DecodeWindows1251(bytes);
}

bool IsValidUtf8(std::string_view bytes) {
    char32_t cp;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = Utf8Sequence(bytes, i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::u16string DecodeWindows1251(std::string_view bytes) {
    CheckLength(bytes.size());
    const Converter converter = OpenWindows1251();
    UErrorCode status = U_ZERO_ERROR;
    // A single-byte code page never yields more code units than bytes.
    std::u16string out(bytes.size(), u'\0');
    const int32_t length =
        ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                      bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        throw std::runtime_error("The text cannot be decoded as Windows-1251");
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::string EncodeWindows1251(std::u16string_view text) {
    CheckLength(text.size());
    const Converter converter = OpenWindows1251();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setSubstChars(converter.get(), "?", 1, &status);
    // At most one byte per code unit; a surrogate pair gives a single "?".
    std::string out(text.size(), '\0');
    const int32_t length =
        ucnv_fromUChars(converter.get(), out.data(), static_cast<int32_t>(out.size()),
                        reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        throw std::runtime_error("The text cannot be encoded as Windows-1251");
    out.resize(static_cast<std::size_t>(length));
    return out;
}

}  // namespace moratutor::codecs

// Plain-text decoding by byte-order mark, then by UTF-8 validity, else Windows-1251.
#include "moratutor/TextDecoder.h"

#include "moratutor/Utf8.h"

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
    const Utf8Census census = CountUtf8(bytes);
    return census.stray == 0 || census.multiByte >= kSequencesPerStrayByte * census.stray;
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

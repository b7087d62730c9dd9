#include "CodePages.h"

#include <unicode/ucnv.h>

#include <string>
#include <vector>

namespace moratutor::rtf {

int CodePageForCharset(int charset, int fallback) {
    switch (charset) {
    case 2: return 1252;  // SYMBOL: the glyph positions, read as Latin so nothing is lost
    case 77: return 10000;
    case 78: return 10001;
    case 79: return 10003;
    case 80: return 10008;
    case 81: return 10002;
    case 83: return 10005;
    case 84: return 10004;
    case 85: return 10006;
    case 86: return 10081;
    case 87: return 10021;
    case 88: return 10029;
    case 89: return 10007;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return fallback;  // 0 ANSI, 1 DEFAULT and anything unknown
    }
}

CodePageDecoder::~CodePageDecoder() {
    for (auto& [cp, converter] : converters_) {
        if (converter) ucnv_close(converter);
    }
}

UConverter* CodePageDecoder::ConverterFor(int codePage) {
    auto found = converters_.find(codePage);
    if (found != converters_.end()) return found->second;

    std::vector<std::string> names;
    switch (codePage) {
    case 65001: names = {"UTF-8"}; break;
    case 1200: names = {"UTF-16LE"}; break;
    case 10000: names = {"macintosh"}; break;
    case 20127: names = {"US-ASCII"}; break;
    case 1361: names = {"ibm-1361"}; break;
    default:
        break;
    }
    const std::string number = std::to_string(codePage);
    names.push_back("windows-" + number);
    names.push_back("ibm-" + number);
    names.push_back("cp" + number);
    names.push_back("windows-1252");

    UConverter* converter = nullptr;
    for (const std::string& name : names) {
        UErrorCode status = U_ZERO_ERROR;
        converter = ucnv_open(name.c_str(), &status);
        if (U_SUCCESS(status) && converter) break;
        if (converter) ucnv_close(converter);
        converter = nullptr;
    }
    converters_.emplace(codePage, converter);
    return converter;
}

std::u16string CodePageDecoder::Decode(int codePage, std::string_view bytes) {
    std::u16string out;
    if (bytes.empty()) return out;
    UConverter* converter = ConverterFor(codePage);
    if (!converter) {
        // No converter at all (a stripped ICU): keep the bytes as Latin-1 rather than lose them.
        out.assign(bytes.begin(), bytes.end());
        for (char16_t& c : out) c = static_cast<unsigned char>(c);
        return out;
    }
    ucnv_reset(converter);
    // No Windows code page turns one byte into more than two UTF-16 code units.
    out.resize(bytes.size() * 2 + 2);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                                         static_cast<int32_t>(bytes.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(static_cast<std::size_t>(length) + 1);
        status = U_ZERO_ERROR;
        ucnv_reset(converter);
        ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                      static_cast<int32_t>(bytes.size()), &status);
    }
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) {
        out.assign(bytes.size(), u'\uFFFD');
        return out;
    }
    out.resize(static_cast<std::size_t>(length));
    return out;
}

}  // namespace moratutor::rtf

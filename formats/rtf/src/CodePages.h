// Windows code pages as RTF names them, decoded through ICU.
#pragma once

#include <map>
#include <string>
#include <string_view>

struct UConverter;

namespace moratutor::rtf {

// The code page of an RTF \fcharsetN, or fallback for the charsets that mean "the
// document's own code page" (ANSI, DEFAULT) and for values RTF does not define.
int CodePageForCharset(int charset, int fallback);

// Decodes byte runs in Windows code pages, double-byte ones included. Converters are
// opened once per code page and kept for the decoder's life; a code page ICU does not
// know is read as Windows-1252, so no byte is ever dropped without a replacement.
class CodePageDecoder {
public:
    CodePageDecoder() = default;
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;
    ~CodePageDecoder();

    std::u16string Decode(int codePage, std::string_view bytes);

private:
    UConverter* ConverterFor(int codePage);

    std::map<int, UConverter*> converters_;
};

}  // namespace moratutor::rtf

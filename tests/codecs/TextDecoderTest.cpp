#include "moratutor/TextDecoder.h"

#include <gtest/gtest.h>

#include <random>

namespace moratutor::codecs {
namespace {

using namespace std::string_literals;

TEST(TextDecoder, DetectsTheEncoding) {
    struct Case {
        const char* name;
        std::string bytes;
        TextEncoding expected;
    };
    const Case cases[] = {
        {"empty", "", TextEncoding::Utf8},
        {"ASCII", "plain text\r\n", TextEncoding::Utf8},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBFtext", TextEncoding::Utf8Bom},
        {"UTF-8 mark before invalid bytes", "\xEF\xBB\xBF\xE0\xE1", TextEncoding::Utf8Bom},
        {"UTF-16 LE mark", "\xFF\xFEt\0"s, TextEncoding::Utf16LE},
        {"UTF-16 BE mark", "\xFE\xFF\0t"s, TextEncoding::Utf16BE},
        {"Cyrillic UTF-8", "\xD0\x9F\xD1\x80\xD0\xB8", TextEncoding::Utf8},
        {"four-byte UTF-8", "\xF0\x9F\x98\x80", TextEncoding::Utf8},
        {"Windows-1251 letters", "\xCF\xF0\xE8\xE2\xE5\xF2", TextEncoding::Windows1251},
        {"overlong form", "\xC0\x80", TextEncoding::Windows1251},
        {"encoded surrogate", "\xED\xA0\x80", TextEncoding::Windows1251},
        {"above U+10FFFF", "\xF4\x90\x80\x80", TextEncoding::Windows1251},
        {"truncated sequence", "ok\xD0", TextEncoding::Windows1251},
        {"lone continuation byte", "\x80", TextEncoding::Windows1251},
        {"UTF-8 with one stray byte", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xFF", TextEncoding::Utf8},
        {"too little UTF-8 to outweigh a stray byte", "\xD0\x94\xD0\xB0\xFF", TextEncoding::Windows1251},
        {"Windows-1251 with a chance UTF-8 pair", "\xD0\xAB\xC4\xE0\xBB", TextEncoding::Windows1251},
    };
    for (const Case& c : cases) EXPECT_EQ(DetectEncoding(c.bytes), c.expected) << c.name;
}

TEST(TextDecoder, DecodesEachKind) {
    struct Case {
        const char* name;
        std::string bytes;
        std::u16string expected;
    };
    const Case cases[] = {
        {"empty", "", u""},
        {"UTF-8 mark dropped, line breaks kept", "\xEF\xBB\xBF\xD0\x9A\xD0\xB0\r\n\xE3\x81\x8B\n", u"Ка\r\nか\n"},
        {"UTF-8 mark, malformed bytes", "\xEF\xBB\xBF" "a\xFF" "b", u"a\uFFFDb"},
        {"UTF-8 without mark", "\xD0\x81\xD1\x91 \xF0\x9F\x98\x80\r", u"Ёё \U0001F600\r"},
        {"UTF-16 LE", "\xFF\xFE\x1A\x04\x30\x04\r\0\n\0"s, u"Ка\r\n"},
        {"UTF-16 BE", "\xFE\xFF\x04\x1A\x04\x30\0\n"s, u"Ка\n"},
        {"UTF-16 LE pair and lone surrogate", "\xFF\xFE\x3D\xD8\x00\xDE\x00\xD8"s, u"\U0001F600\xD800"},
        {"UTF-16 odd last byte", "\xFF\xFE" "a\0b"s, u"a\uFFFD"},
        {"Windows-1251", "\xCF\xF0\xE8\xE2\xE5\xF2\r\n\xA8\xB8 \xAB\xBB \x85", u"Привет\r\nЁё «» …"},
        {"Windows-1251 unassigned byte", "\xE0\x98", u"а\u0098"},
        {"UTF-8 with stray bytes",
         "\xD0\x9A\xD0\xB0\xD0\xB7\xD0\xB0\xD0\xBD\xD1\x8C\xFF\xD0\x9A\xD0\xB0\xD0\xB7\xD0\xB0\xD0\xBD\xD1\x8C "
         "\xE3\x81\x8B\xE0!",
         u"Казань\uFFFDКазань か\uFFFD!"},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeText(c.bytes), c.expected) << c.name;
}

// A long Russian text in UTF-8 with one stray byte: the text, not a page of mojibake.
TEST(TextDecoder, OneStrayByteInALongTextIsOneReplacementCharacter) {
    std::string bytes;
    std::u16string expected;
    for (int i = 0; i < 20000; ++i) {
        bytes += "\xD0\xA0\xD1\x83\xD1\x81\xD1\x8C ";  // "Русь "
        expected += u"Русь ";
        if (i == 10000) {
            bytes += '\x98';
            expected += u'\uFFFD';
        }
    }
    EXPECT_EQ(DecodeText(bytes), expected);
    // The same text in Windows-1251 stays Windows-1251.
    const std::string cp1251 = EncodeWindows1251(expected.substr(0, 1000));
    EXPECT_EQ(DetectEncoding(cp1251), TextEncoding::Windows1251);
}

TEST(TextDecoder, Windows1251CoversTheWholeAlphabet) {
    std::string bytes;
    for (int b = 0xC0; b <= 0xFF; ++b) bytes += static_cast<char>(b);
    const std::u16string text = DecodeWindows1251(bytes);
    ASSERT_EQ(text.size(), 64u);
    for (std::size_t i = 0; i < 64; ++i) EXPECT_EQ(text[i], static_cast<char16_t>(0x0410 + i));
    // Every byte gives exactly one character, so nothing is lost.
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(DecodeWindows1251(all).size(), 256u);
}

// Every character of the code page goes back to its byte; anything else becomes "?".
TEST(TextDecoder, Windows1251EncodesWhatItDecodes) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(EncodeWindows1251(DecodeWindows1251(all)), all);
    EXPECT_EQ(EncodeWindows1251(u"Я\u3042\U0001F600ё"), "\xDF??\xB8");
}

// Any bytes at all decode without an error; valid UTF-8 comes back code point for code point.
TEST(TextDecoder, ArbitraryBytesDecode) {
    std::mt19937 gen(11);
    for (int iteration = 0; iteration < 5000; ++iteration) {
        std::string bytes(gen() % 40, '\0');
        for (char& b : bytes) b = static_cast<char>(gen() % 4 == 0 ? 0xC0 + gen() % 64 : gen() % 256);
        std::u16string text;
        ASSERT_NO_THROW(text = DecodeText(bytes));
        if (DetectEncoding(bytes) == TextEncoding::Windows1251) {
            EXPECT_EQ(text.size(), bytes.size());
        }
    }
    const std::u16string sample = u"Ёж, 🍣 и かな\r\n";
    std::string utf8 = "Ёж, 🍣 и かな\r\n";
    EXPECT_EQ(DecodeText(utf8), sample);
}

}  // namespace
}  // namespace moratutor::codecs

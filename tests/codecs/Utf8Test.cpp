// The one UTF-8 <-> UTF-16 converter: malformed input, and long texts.
#include "moratutor/Utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using moratutor::codecs::DecodeUtf8;
using moratutor::codecs::EncodeUtf8;
using moratutor::codecs::IsValidUtf8;

// One U+FFFD for every byte that begins no well-formed sequence, even where ICU's own
// converter would give one for a whole cut-off sequence.
TEST(Utf8, EachStrayByteIsOneReplacementCharacter) {
    struct Case {
        const char* name;
        std::string bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {"well-formed, all lengths", "a\xD0\xAF\xE3\x81\x82\xF0\x9F\x98\x80", u"aЯあ\U0001F600"},
        {"cut-off three-byte sequence", "\xE3\x81" "A", u"\uFFFD\uFFFDA"},
        {"cut-off four-byte sequence at the end", "a\xF0\x9F\x98", u"a\uFFFD\uFFFD\uFFFD"},
        {"lone continuation byte", "\x80z", u"\uFFFDz"},
        {"overlong NUL", "\xC0\x80", u"\uFFFD\uFFFD"},
        {"overlong three-byte form", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"Windows-1251 letters", "\xCF\xF0\xE8", u"\uFFFD\uFFFD\uFFFD"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeUtf8(c.bytes), c.text) << c.name;
        EXPECT_EQ(IsValidUtf8(c.bytes), c.text.find(u'\uFFFD') == std::u16string::npos) << c.name;
    }
}

// Long texts go to ICU in pieces; a surrogate pair astride a boundary stays one character.
TEST(Utf8, LongTextsKeepPairsWhole) {
    for (std::size_t prefix : {(std::size_t{1} << 20) - 1, std::size_t{1} << 20, (std::size_t{3} << 20) - 1}) {
        const std::u16string head(prefix, u'ж');
        const std::string headBytes = EncodeUtf8(head);
        ASSERT_EQ(headBytes.size(), prefix * 2);
        EXPECT_EQ(EncodeUtf8(head + u"\U0001F600b"), headBytes + "\xF0\x9F\x98\x80" "b") << prefix;
        EXPECT_EQ(EncodeUtf8(head + char16_t(0xD83D) + u"b"), headBytes + "\xEF\xBF\xBD" "b") << prefix;
        EXPECT_EQ(DecodeUtf8(headBytes + "\xF0\x9F\x98\x80"), head + u"\U0001F600") << prefix;
    }
}

}  // namespace

// The bytes of the saved UTF-8 text file.
#include "moratutor/Utf8Writer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Utf8Case {
    const char* name;
    std::u16string text;
    std::string bytes;  // after the byte-order mark
};

// Test names and failure messages name the case, not the bytes of the structure.
void PrintTo(const Utf8Case& c, std::ostream* os) { *os << c.name; }

class Utf8DocumentTest : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8DocumentTest, WritesExactBytes) {
    const Utf8Case& c = GetParam();
    EXPECT_EQ(moratutor::codecs::EncodeUtf8Document(c.text), "\xEF\xBB\xBF" + c.bytes);
}

const Utf8Case kCases[] = {
    {"Empty", u"", ""},
    {"OneLetter", u"a", "a\r\n"},
    {"CrLf", u"a\r\nb", "a\r\nb\r\n"},
    {"LoneLf", u"a\nb", "a\r\nb\r\n"},
    {"LoneCr", u"a\rb", "a\r\nb\r\n"},
    {"LineSeparator", u"a\u2028b", "a\r\nb\r\n"},
    {"ParagraphSeparator", u"a\u2029b", "a\r\nb\r\n"},
    {"FinalBreakAddsNoLine", u"a\r\n", "a\r\n"},
    {"TwoFinalBreaksGiveOneEmptyLine", u"a\r\n\r\n", "a\r\n\r\n"},
    {"LfCrIsTwoBreaks", u"a\n\rb", "a\r\n\r\nb\r\n"},
    {"CrCrLfIsTwoBreaks", u"a\r\r\nb", "a\r\n\r\nb\r\n"},
    {"BreakAlone", u"\n", "\r\n"},
    {"LeadingBreak", u"\u2028a", "\r\na\r\n"},
    {"Hiragana", u"\u3042", "\xE3\x81\x82\r\n"},
    {"CyrillicYa", u"\u044F", "\xD1\x8F\r\n"},
    {"IdeographicSpace", u"\u3000", "\xE3\x80\x80\r\n"},
    {"TwoByteLatin", u"\u00E9", "\xC3\xA9\r\n"},
    {"AstralIsOneSequence", u"\U0001F600", "\xF0\x9F\x98\x80\r\n"},
    {"LoneHighSurrogate", std::u16string{u'a', char16_t(0xD83D), u'b'}, "a\xEF\xBF\xBD" "b\r\n"},
    {"LoneLowSurrogate", std::u16string{char16_t(0xDE00)}, "\xEF\xBF\xBD\r\n"},
    {"HighSurrogateAtEnd", std::u16string{u'a', char16_t(0xD83D)}, "a\xEF\xBF\xBD\r\n"},
    {"ReversedPair", std::u16string{char16_t(0xDE00), char16_t(0xD83D)}, "\xEF\xBF\xBD\xEF\xBF\xBD\r\n"},
    {"Tab", u"a\tb", "a\tb\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, Utf8DocumentTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

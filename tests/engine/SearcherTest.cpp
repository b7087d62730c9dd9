// The block scans against a plain search, at every scan level: short texts over a small
// alphabet put matches at every offset of a block and across block ends.
#include "Searcher.h"

#include "TestSupport.h"

#include <random>

namespace moratutor::detail {

// Test names and failure messages name the level (found by argument-dependent lookup).
void PrintTo(ScanLevel level, std::ostream* os) {
    *os << (level == ScanLevel::Scalar ? "Scalar" : level == ScanLevel::Sse2 ? "Sse2" : "Avx2");
}

namespace {

std::size_t PlainFind(std::u16string_view text, std::u16string_view pattern, bool caseInsensitive,
                      std::size_t from) {
    const auto unit = [&](char16_t c) -> char16_t {
        if (!caseInsensitive || (c >= 0xD800 && c <= 0xDFFF)) return c;
        const UChar32 u = u_toupper(c);
        return u < 0x10000 ? static_cast<char16_t>(u) : c;
    };
    for (std::size_t i = from; i + pattern.size() <= text.size(); ++i) {
        bool match = true;
        for (std::size_t j = 0; j < pattern.size() && match; ++j) match = unit(text[i + j]) == unit(pattern[j]);
        if (match) return i;
    }
    return Searcher::npos;
}

class SearcherAtLevel : public ::testing::TestWithParam<ScanLevel> {
protected:
    void SetUp() override { LimitScan(GetParam()); }
    void TearDown() override { LimitScan(ScanLevel::Avx2); }
};

TEST_P(SearcherAtLevel, FindsWhatAPlainSearchFinds) {
    // Т has four units that upper-case to it (т, Т and two old forms), the most of any letter.
    const std::u16string alphabet = u"тТ\u1C84\u1C85аАoO \xD801";
    std::mt19937 gen(77);
    for (int iteration = 0; iteration < 20000; ++iteration) {
        std::u16string text(gen() % 70, u' ');
        for (char16_t& c : text) c = alphabet[gen() % alphabet.size()];
        std::u16string pattern(1 + gen() % 3, u' ');
        for (char16_t& c : pattern) c = alphabet[gen() % alphabet.size()];
        const bool caseInsensitive = gen() % 2;
        const Searcher searcher(pattern, caseInsensitive);
        const std::size_t from = text.empty() ? 0 : gen() % (text.size() + 1);
        ASSERT_EQ(searcher.Find(text.data(), text.size(), from), PlainFind(text, pattern, caseInsensitive, from))
            << "text \"" << moratutor::test::U8(text) << "\" pattern \"" << moratutor::test::U8(pattern) << "\" from "
            << from;
    }
}

TEST_P(SearcherAtLevel, FindsAtEveryOffsetOfALongText) {
    for (std::size_t at = 0; at + 2 <= 100; ++at) {
        std::u16string text(100, u'к');
        text[at] = u'Т';
        text[at + 1] = u'о';
        const Searcher searcher(u"то", true);
        EXPECT_EQ(searcher.Find(text.data(), text.size(), 0), at);
        EXPECT_EQ(searcher.Find(text.data(), text.size(), at + 1), Searcher::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Scans, SearcherAtLevel,
                         ::testing::Values(ScanLevel::Scalar, ScanLevel::Sse2, ScanLevel::Avx2),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

}  // namespace
}  // namespace moratutor::detail

#include "TestSupport.h"

#include "moratutor/SyllableTable.h"

#include <map>
#include <set>

namespace moratutor::test {
namespace {

const SyllableRow& RowAt(int row) { return SyllableTable().at(static_cast<std::size_t>(row - 1)); }

TEST(SyllableTable, RowsAreNumberedInPassOrderAndCountedByKind) {
    const auto& table = SyllableTable();
    ASSERT_EQ(table.size(), 121u);
    int voiced = 0, yoon = 0, e = 0, space = 0;
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].Row, static_cast<int>(i + 1));
        voiced += (table[i].Guard & gGroup10) != 0;
        yoon += (table[i].Guard & gGroup11) != 0;
        e += (table[i].Guard & gReplaceE) != 0;
        space += (table[i].Guard & gReplaceSpaces) != 0;
    }
    EXPECT_EQ(voiced, 45);
    EXPECT_EQ(yoon, 36);
    EXPECT_EQ(e, 13);
    EXPECT_EQ(space, 1);
}

// Spot checks written as code points, independently of how the table spells its strings.
TEST(SyllableTable, SpotChecksByCodePoint) {
    struct Case {
        int row;
        unsigned guard;
        std::u16string_view syllable, hiragana, katakana;
    };
    const Case cases[] = {
        {1, gGroup10 | gGroup2, u"\u0433\u0430", u"\u304C", u"\u30AC"},                         // га が ガ
        {8, gGroup10 | gGroup2 | gGroup11, u"\u0433\u0451", u"\u304E\u3087", u"\u30AE\u30E7"},   // гё ぎょ
        {9, gGroup10 | gGroup2 | gReplaceE, u"\u0433\u0435", u"\u3052", u"\u30B2"},              // ге げ ゲ
        {11, gGroup10 | gGroup3, u"\u0434\u0437\u0438", u"\u3058", u"\u30B8"},                   // дзи じ
        {20, gGroup10 | gGroup4, u"\u0434\u0437\u0438", u"\u3062", u"\u30C2"},                   // дзи ぢ
        {21, gGroup10 | gGroup4, u"\u0434\u0437\u0443", u"\u3065", u"\u30C5"},                   // дзу づ
        {26, gGroup10 | gGroup4 | gGroup11, u"\u0434\u0437\u0451", u"\u3062\u3087", u"\u30C2\u30E7"},
        {37, gGroup10 | gGroup6, u"\u043F\u0430", u"\u3071", u"\u30D1"},                         // па ぱ
        {53, gGroup2 | gGroup11, u"\u043A\u0451", u"\u304D\u3087", u"\u30AD\u30E7"},             // кё きょ (small)
        {56, gGroup3, u"\u0441\u0438", u"\u3057", u"\u30B7"},                                    // си し
        {65, gGroup4, u"\u0442\u0438", u"\u3061", u"\u30C1"},                                    // ти ち
        {66, gGroup4, u"\u0446\u0443", u"\u3064", u"\u30C4"},                                    // цу つ
        {84, gGroup6, u"\u0444\u0443", u"\u3075", u"\u30D5"},                                    // фу ふ
        {105, gGroup8 | gGroup11, u"\u0440\u044F", u"\u308A\u3083", u"\u30EA\u30E3"},            // ря りゃ
        {109, gGroup9, u"\u044F", u"\u3084", u"\u30E4"},                                         // я や (full size)
        {111, gGroup9, u"\u0451", u"\u3088", u"\u30E8"},                                         // ё よ (full size)
        {112, gGroup9, u"\u0432\u0430", u"\u308F", u"\u30EF"},                                   // ва わ
        {113, gGroup9, u"\u0020\u043E\u0020", u"\u0020\u3092\u0020", u"\u0020\u30F2\u0020"},     // particle
        {114, gGroup9, u"\u043D", u"\u3093", u"\u30F3"},                                         // н ん
        {118, gGroup1, u"\u044D", u"\u3048", u"\u30A8"},                                         // э え
        {120, gGroup1 | gReplaceE, u"\u0435", u"\u3048", u"\u30A8"},                             // е え
        {121, gReplaceSpaces, u"\u0020", u"\u3000", u"\u3000"},                                  // space
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("row " + std::to_string(c.row));
        const SyllableRow& row = RowAt(c.row);
        EXPECT_EQ(row.Guard, c.guard);
        EXPECT_EQ(U8(row.Syllable), U8(c.syllable));
        EXPECT_EQ(U8(row.Hiragana), U8(c.hiragana));
        EXPECT_EQ(U8(row.Katakana), U8(c.katakana));
    }
}

// Rows and guards by block, as the option table lists them.
TEST(SyllableTable, GuardsFollowTheBlocksOfThePass) {
    const std::pair<int, unsigned> blocks[] = {
        {1, gGroup10 | gGroup2}, {10, gGroup10 | gGroup3}, {19, gGroup10 | gGroup4}, {28, gGroup10 | gGroup6},
        {37, gGroup10 | gGroup6}, {46, gGroup2}, {55, gGroup3}, {64, gGroup4}, {73, gGroup5},
        {82, gGroup6}, {91, gGroup7}, {100, gGroup8},
    };
    for (const auto& [first, base] : blocks) {
        for (int k = 0; k < 9; ++k) {
            const unsigned extra = k < 5 ? 0u : k < 8 ? unsigned(gGroup11) : unsigned(gReplaceE);
            EXPECT_EQ(RowAt(first + k).Guard, base | extra) << "row " << first + k;
        }
    }
    for (int row = 109; row <= 114; ++row) EXPECT_EQ(RowAt(row).Guard, gGroup9) << "row " << row;
    for (int row = 115; row <= 119; ++row) EXPECT_EQ(RowAt(row).Guard, gGroup1) << "row " << row;
    EXPECT_EQ(RowAt(120).Guard, gGroup1 | gReplaceE);
}

TEST(SyllableTable, ERowsGiveTheKanaOfTheirERow) {
    for (const SyllableRow& row : SyllableTable()) {
        if (!(row.Guard & gReplaceE)) continue;
        std::u16string e(row.Syllable);
        ASSERT_EQ(e.back(), u'\u0435') << "row " << row.Row;
        e.back() = u'\u044D';
        int matches = 0;
        for (const SyllableRow& other : SyllableTable()) {
            if (other.Syllable != e || (other.Guard & gReplaceE)) continue;
            ++matches;
            EXPECT_EQ(other.Hiragana, row.Hiragana) << "row " << row.Row;
            EXPECT_EQ(other.Katakana, row.Katakana) << "row " << row.Row;
        }
        EXPECT_EQ(matches, 1) << "row " << row.Row;
    }
}

TEST(SyllableTable, SharedDzSyllablesGiveDifferentKana) {
    for (auto [dz, d] : {std::pair{11, 20}, {12, 21}, {15, 24}, {16, 25}, {17, 26}}) {
        EXPECT_EQ(RowAt(dz).Syllable, RowAt(d).Syllable);
        EXPECT_NE(RowAt(dz).Hiragana, RowAt(d).Hiragana);
        EXPECT_NE(RowAt(dz).Katakana, RowAt(d).Katakana);
    }
    // No other syllable occurs twice.
    std::map<std::u16string_view, int> seen;
    for (const SyllableRow& row : SyllableTable()) ++seen[row.Syllable];
    int repeated = 0;
    for (const auto& [syllable, n] : seen) repeated += n > 1;
    EXPECT_EQ(repeated, 5);
}

// Katakana is hiragana moved by 0x60; spaces stay; lengths 1 to 3; the syllables are lower case
// and the kana have no case of their own, so a later case-insensitive row never matches them.
TEST(SyllableTable, StringsAreWellFormed) {
    for (const SyllableRow& row : SyllableTable()) {
        SCOPED_TRACE("row " + std::to_string(row.Row));
        for (auto s : {row.Syllable, row.Hiragana, row.Katakana}) {
            EXPECT_GE(s.size(), 1u);
            EXPECT_LE(s.size(), 3u);
        }
        EXPECT_LE(row.Hiragana.size(), row.Syllable.size());
        ASSERT_EQ(row.Hiragana.size(), row.Katakana.size());
        for (std::size_t i = 0; i < row.Hiragana.size(); ++i) {
            const char16_t h = row.Hiragana[i], k = row.Katakana[i];
            if (h == u' ' || h == u'\u3000') {
                EXPECT_EQ(k, h);
            } else {
                EXPECT_TRUE(h >= 0x3041 && h <= 0x3096);
                EXPECT_EQ(k, h + 0x60);
            }
            EXPECT_EQ(u_toupper(h), h);
            EXPECT_EQ(u_toupper(k), k);
        }
        for (char16_t c : row.Syllable) {
            EXPECT_TRUE(c == u' ' || (c >= 0x0430 && c <= 0x0451)) << int(c);
            EXPECT_EQ(u_tolower(c), c);
        }
    }
}

TEST(SyllableTable, GuardMaskAndGuardHolds) {
    EXPECT_EQ(GuardMask(OptionSet{}), 0);
    EXPECT_EQ(GuardMask(Options({1, 11}, true, true)), gGroup1 | gGroup11 | gReplaceE | gReplaceSpaces);
    const OptionSet all = OptionsFromMask(0x1FFF);
    for (const SyllableRow& row : SyllableTable()) EXPECT_TRUE(GuardHolds(row, all)) << row.Row;
    EXPECT_FALSE(GuardHolds(RowAt(6), Options({10, 2})));
    EXPECT_TRUE(GuardHolds(RowAt(6), Options({10, 2, 11})));
}

}  // namespace
}  // namespace moratutor::test

#include "TestSupport.h"

#include <random>
#include <stdexcept>

namespace moratutor::test {
namespace {

constexpr unsigned kBoth = rfAllOccurrences | rfCaseInsensitive;

std::string Step(Recorder& r, std::string_view text, std::string_view syllable, std::string_view hira,
                 std::string_view kata, unsigned flags = kBoth) {
    return U8(StrReplaceUnicode(r.env, U16(text), U16(syllable), U16(hira), U16(kata), flags));
}

TEST(ReplaceStep, MatchingByFlags) {
    struct Case {
        const char* name;
        const char* text;
        const char* syllable;
        const char* kana;
        unsigned flags;
        const char* expected;
        int replaced;
    };
    const Case cases[] = {
        {"every letter case", "ка Ка кА КА", "ка", "か", kBoth, "か か か か", 4},
        {"upper-case syllable", "ка Ка", "КА", "か", kBoth, "か か", 2},
        {"ё and Ё", "кё КЁ", "кё", "きょ", kBoth, "きょ きょ", 2},
        {"е is not ё", "ке", "кё", "きょ", kBoth, "ке", 0},
        {"no overlap, leftmost first", "ааа", "аа", "X", kBoth, "Xа", 1},
        {"first occurrence only", "ка ка ка", "ка", "か", rfCaseInsensitive, "か ка ка", 1},
        {"exact case", "ка Ка КА", "ка", "か", rfAllOccurrences, "か Ка КА", 1},
        {"exact case, first only", "Ка ка ка", "ка", "か", 0, "Ка か ка", 1},
        {"particle needs both spaces", "о о о\tо о.", " о ", "Y", kBoth, "оYо\tо о.", 1},
        {"particle: the first match takes the shared space", "тут о о там", " о ", "Y", kBoth, "тутYо там", 1},
        {"no-break space is no space", "а\u00A0б а", " ", "Z", kBoth, "а\u00A0бZа", 1},
        {"no occurrence", "шмель", "ка", "か", kBoth, "шмель", 0},
        {"whole text", "КА", "ка", "か", kBoth, "か", 1},
        {"Latin letters fold too, ß stays ß", "Straße STRASSE", "s", "1", kBoth, "1traße 1TRA11E", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder r;
        EXPECT_EQ(Step(r, c.text, c.syllable, c.kana, "K", c.flags), c.expected);
        EXPECT_EQ(r.count, c.replaced);
    }
}

TEST(ReplaceStep, KanaLongerThanTheSyllable) {
    Recorder r;
    EXPECT_EQ(Step(r, "abcAB", "ab", "XYZ", "K"), "XYZcXYZ");
    EXPECT_EQ(r.count, 2);
}

TEST(ReplaceStep, EmptyTextMakesNoDrawAndShowsNothingButStillSteps) {
    Recorder r(kmRandomKana, true);
    EXPECT_EQ(U8(StrReplaceWSteps(r.env, u"", u"ка", u"か", u"カ")), "");
    EXPECT_EQ(r.events, (std::vector<std::string>{"step", "pump"}));
    EXPECT_EQ(r.count, 0);
}

TEST(ReplaceStep, TextWithoutTheSyllableShowsNothing) {
    Recorder r(kmHiragana, true);
    EXPECT_EQ(U8(StrReplaceWSteps(r.env, u"мир", u"ка", u"か", u"カ")), "мир");
    EXPECT_EQ(r.events, (std::vector<std::string>{"step", "pump"}));
}

TEST(ReplaceStep, EmptySyllableIsRefused) {
    Recorder r;
    EXPECT_THROW(StrReplaceUnicode(r.env, u"abc", u"", u"x", u"y", kBoth), std::invalid_argument);
}

TEST(ReplaceStep, SurrogatesPassUnchanged) {
    Recorder r;
    const std::u16string text = u"\U0001D400а\xD800а\xDC00";  // a pair and two lone halves
    const std::u16string out = StrReplaceUnicode(r.env, text, u"а", u"あ", u"ア", kBoth);
    EXPECT_EQ(U8(out), U8(u"\U0001D400あ\xD800あ\xDC00"));
    EXPECT_EQ(U8(StrReplaceUnicode(r.env, text, u"\xD800", u"!", u"!", kBoth)), U8(u"\U0001D400а!а\xDC00"));
}

// Text of 200 units with "а" (or "А") at chosen places: the percent is measured at the end
// of the previous occurrence and rounded half to even.
struct Placed {
    std::u16string text;
    Placed(std::initializer_list<std::pair<int, char16_t>> at) : text(200, u'x') {
        for (auto [pos, c] : at) text[static_cast<std::size_t>(pos)] = c;
    }
};

TEST(ReplaceStep, SnowballDrawAgainstPercentRoundedHalfToEven) {
    // Previous ends 0, 1, 5, 19, 21, 23, 199 of 200: 0, 0.5, 2.5, 9.5, 10.5, 11.5, 99.5 percent.
    const Placed p({{0, u'а'}, {4, u'А'}, {18, u'а'}, {20, u'А'}, {22, u'а'}, {198, u'а'}, {199, u'А'}});
    struct Case {
        std::uint32_t draw;
        int percent;
        bool kept;
    };
    const Case cases[] = {{0, 0, false}, {1, 0, true},   {0, 2, false}, {1, 10, false},
                          {2, 10, true}, {1, 12, false}, {9, 100, false}};
    Recorder r(kmHiragana, true);
    for (const Case& c : cases) r.script.push_back(c.draw);
    const std::u16string out = StrReplaceUnicode(r.env, p.text, u"а", u"あ", u"ア", kBoth);
    std::u16string expected = p.text;
    const int positions[] = {0, 4, 18, 20, 22, 198, 199};
    int replaced = 0;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        if (cases[i].kept) continue;
        expected[static_cast<std::size_t>(positions[i])] = u'あ';
        ++replaced;
    }
    EXPECT_EQ(U8(out), U8(expected));
    EXPECT_EQ(r.count, replaced);
    EXPECT_TRUE(r.script.empty());
    // Each text once, when it changes: 0, 2, 10, 12, 100.
    EXPECT_EQ(r.texts, (std::vector<std::string>{"Замена слога «А»: 0%", "Замена слога «А»: 2%", "Замена слога «А»: 10%",
                                                 "Замена слога «А»: 12%", "Замена слога «А»: 100%"}));
}

TEST(ReplaceStep, SnowballReplacesWithProbabilityByTenths) {
    // The second "а" of a 200-unit text follows an end at exactly 2 * percent units.
    for (int percent : {0, 5, 10, 45, 89, 90, 99}) {
        const int first = percent == 0 ? 0 : 2 * percent - 1;
        for (std::uint32_t draw = 0; draw < 10; ++draw) {
            Recorder r(kmHiragana, true);
            r.script = {0, draw};
            const Placed p({{first, u'а'}, {first + 1, u'а'}});
            const std::u16string out = StrReplaceUnicode(r.env, p.text, u"а", u"あ", u"ア", kBoth);
            EXPECT_EQ(out[static_cast<std::size_t>(first + 1)] == u'あ', static_cast<int>(draw) <= percent / 10)
                << "percent " << percent << ", draw " << draw;
        }
    }
}

TEST(ReplaceStep, SpacesAreReplacedWhateverTheDraw) {
    Recorder r(kmHiragana, true);
    r.script = {9, 9, 9};
    EXPECT_EQ(U8(StrReplaceUnicode(r.env, u"а б в ", u" ", u"\u3000", u"\u3000", kBoth)), "а　б　в　");
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(r.events, (std::vector<std::string>{"draw10", "text:Замена пробелов: 0%", "draw10",
                                                  "text:Замена пробелов: 33%", "draw10", "text:Замена пробелов: 67%"}));
}

TEST(ReplaceStep, SnowballDrawComesBeforeTheKanaDraw) {
    Recorder r(kmRandomKana, true);
    // First: replaced, hiragana; second (0 %): kept, no kana draw; third (95.5 -> 96 %): replaced, katakana.
    const Placed p({{0, u'а'}, {190, u'а'}, {192, u'а'}});
    r.script = {0, 0, 5, 9, 1};
    const std::u16string out = StrReplaceUnicode(r.env, p.text, u"а", u"あ", u"ア", kBoth);
    EXPECT_EQ(r.events, (std::vector<std::string>{"draw10", "draw2", "text:Замена слога «А»: 0%", "draw10",
                                                  "draw10", "draw2", "text:Замена слога «А»: 96%"}));
    EXPECT_EQ(out[0], u'あ');
    EXPECT_EQ(out[190], u'а');
    EXPECT_EQ(out[192], u'ア');
    EXPECT_EQ(r.count, 2);
}

TEST(ReplaceStep, KanaByMode) {
    struct Case {
        KanaMode mode;
        std::deque<std::uint32_t> draws;
        const char* expected;
    };
    const Case cases[] = {
        {kmHiragana, {}, "か-か-か"},
        {kmKatakana, {}, "カ-カ-カ"},
        {kmRandomKana, {1, 0, 1}, "カ-か-カ"},
    };
    for (const Case& c : cases) {
        Recorder r(c.mode);
        r.script = c.draws;
        EXPECT_EQ(Step(r, "ка-Ка-КА", "ка", "か", "カ"), c.expected);
        EXPECT_TRUE(r.script.empty());
        EXPECT_EQ(r.count, 3);
    }
}

TEST(ReplaceStep, CountAccumulatesAndMayBeAbsent) {
    Recorder r;
    r.count = 40;
    Step(r, "ка ка", "ка", "か", "カ");
    EXPECT_EQ(r.count, 42);
    StepEnvironment bare;  // no counter, no callbacks
    EXPECT_EQ(U8(StrReplaceWSteps(bare, u"ка", u"ка", u"か", u"カ")), "か");
}

TEST(ReplaceStep, ProgressTextNamesTheSyllableAsSearched) {
    Recorder r;
    Step(r, "Ка", "Ка", "か", "カ", rfAllOccurrences);  // exact matching searches the syllable as given
    Step(r, "ка ка", "Ка", "か", "カ", kBoth);           // otherwise upper-cased
    EXPECT_EQ(r.texts, (std::vector<std::string>{"Замена слога «Ка»: 0%", "Замена слога «КА»: 0%",
                                                 "Замена слога «КА»: 40%"}));
}

TEST(ReplaceStep, WStepsStepsOnceThenPumpsOnce) {
    Recorder r;
    EXPECT_EQ(U8(StrReplaceWSteps(r.env, u"ка ка", u"ка", u"か", u"カ")), "か か");
    EXPECT_EQ(r.events, (std::vector<std::string>{"text:Замена слога «КА»: 0%", "text:Замена слога «КА»: 40%",
                                                  "step", "pump"}));
}

// The engine against the literal model on many small random texts, all flags and modes:
// same text, count, draws and (repeats aside) progress texts. Short texts over a small
// alphabet hit every boundary of the block scan.
TEST(ReplaceStep, AgreesWithTheLiteralModel) {
    const std::u16string alphabet = u"кКаАоОёЁ  xдзДЗ\u1C82\u0430\xD800";
    const std::u16string syllables[] = {u"ка", u"а", u" о ", u" ", u"дза", u"о", u"кё", u"ааа", u"\u1C82"};
    std::mt19937 gen(12345);
    for (int iteration = 0; iteration < 4000; ++iteration) {
        const std::size_t length = gen() % (iteration < 3000 ? 40 : 400);
        std::u16string text;
        for (std::size_t i = 0; i < length; ++i) text += alphabet[gen() % alphabet.size()];
        const std::u16string& syllable = syllables[gen() % std::size(syllables)];
        const std::u16string hira = syllable.size() > 1 && gen() % 4 == 0 ? u"ひらがな" : u"ひ";
        const unsigned flags = gen() % 4;
        const bool snowball = gen() % 2;
        const KanaMode mode = static_cast<KanaMode>(gen() % 3);

        std::vector<std::uint32_t> answers(2 * length + 2);
        for (auto& a : answers) a = gen() % 10;
        std::size_t next = 0;
        ModelStep model;
        const std::u16string expected = model.Run(text, syllable, hira, u"カ", flags, snowball, mode,
                                                  [&](std::uint32_t n) { return answers[next++] % n; });
        Recorder r(mode, snowball);
        for (std::size_t i = 0; i < next; ++i) r.script.push_back(answers[i] % (model.draws[i]));
        const std::u16string actual = StrReplaceUnicode(r.env, text, syllable, hira, u"カ", flags);

        SCOPED_TRACE("text \"" + U8(text) + "\" syllable \"" + U8(syllable) + "\" flags " + std::to_string(flags));
        ASSERT_EQ(U8(actual), U8(expected));
        ASSERT_EQ(r.count, model.replaced);
        ASSERT_TRUE(r.script.empty());
        ASSERT_EQ(r.texts, WithoutRepeats(model.texts));
    }
}

}  // namespace
}  // namespace moratutor::test

#include "TestSupport.h"

#include "moratutor/SyllableTable.h"

#include <random>
#include <stdexcept>

namespace moratutor::test {
namespace {

std::string Convert(const OptionSet& options, std::string_view text, int* steps = nullptr) {
    Recorder r;
    std::u16string t = U16(text);
    ReplaceWithKanaUnicode(r.env, options, t);
    if (steps) *steps = r.steps;
    return U8(t);
}

// The worked examples, hiragana, Snowball off.
TEST(ConversionPass, WorkedExamples) {
    struct Case {
        const char* name;
        OptionSet options;
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"capital К, yoon", Options({2, 4, 11}), "Кёто", "きょと"},
        {"consonant rows before vowels", Options({1, 2, 4}), "Токио", "ときお"},
        {"group 9: particle and н", Options({9}), "Он думал о ней", "Оん думал を んей"},
        {"group 9 with spaces", Options({9}, false, true), "Он думал о ней", "Оん　думал　を　んей"},
        {"group 1 only", Options({1}), "Он думал о ней", "おн дうмあл お ней"},
        {"нет with E", Options({5, 9}, true), "нет", "ねт"},
        {"нет without E", Options({5, 9}), "нет", "んет"},
        {"capital particle", Options({9}), "и О да", "и を да"},
        {"particle needs two ordinary spaces", Options({9}), "о о\tо\nо. о,о\u00A0о ", "о о\tо\nо. о,о\u00A0о "},
        {"spaces are only U+0020", Options({9}, false, true), "x\u00A0y\tz\n", "x\u00A0y\tz\n"},
        {"дзюдо with group 3", Options({3, 4, 10, 11}), "дзюдо", "じゅど"},
        {"дзюдо without group 3", Options({4, 10, 11}), "дзюдо", "ぢゅど"},
        {"дзи, дзу with group 3", Options({3, 4, 10}), "дзи дзу", "じ ず"},
        {"дзи, дзу without group 3", Options({4, 10}), "дзи дзу", "ぢ づ"},
        {"two particles in a row", Options({9}), "тут о о там", "тут を о там"},
        {"кя without yoon", Options({2, 9}), "кя", "кや"},
        {"кя with yoon", Options({2, 9, 11}), "кя", "きゃ"},
        {"ня with group 9 alone", Options({9}), "ня", "んや"},
        {"н before a vowel with group 9 alone", Options({9}), "на", "んа"},
        {"кё small, ё full", Options({2, 9, 11}), "кё ё", "きょ よ"},
        {"voiced without a base group", Options({10}), "гага", "гага"},
        {"nothing ticked", OptionSet{}, "ка", "ка"},
        {"spaces only", Options({}, false, true), "ка ка  ", "ка　ка　　"},
        {"particle spaces become wide", Options({9}, false, true), "а о б", "а　を　б"},
        {"letters of no syllable", OptionsFromMask(0x1FFF), "йышчжлQz09!?", "йышчжлQz09!?"},
        {"з, в, ц, ф only inside their syllables", Options({3, 4, 6, 9, 10}), "з в ц ф", "з в ц ф"},
        {"everything", OptionsFromMask(0x1FFF), "Привет, мир! Это Япония.", "Пりвえт,　みр!　えと　やぽにや."},
        {"empty text", OptionsFromMask(0x1FFF), "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Convert(c.options, c.text), c.expected);
    }
}

// Zero-based bit k: group k+1 for k < 11, then E, then spaces.
TEST(ConversionPass, ProgressLengthEqualsStepsForEveryCombination) {
    for (unsigned mask = 0; mask < (1u << 13); ++mask) {
        const OptionSet options = OptionsFromMask(mask);
        Recorder r(kmHiragana);
        std::u16string text;  // the step count does not depend on the text
        ReplaceWithKanaUnicode(r.env, options, text);
        ASSERT_EQ(GetProgressLength(options), r.steps) << "mask " << mask;
        int rows = 0;
        for (const SyllableRow& row : SyllableTable()) rows += GuardHolds(row, options);
        ASSERT_EQ(rows, r.steps) << "mask " << mask;
    }
}

TEST(ConversionPass, ProgressLengthExamples) {
    struct Case {
        const char* name;
        OptionSet options;
        int expected;
    };
    const Case cases[] = {
        {"nothing", OptionSet{}, 0},
        {"spaces", Options({}, false, true), 1},
        {"vowels", Options({1}), 5},
        {"vowels and E", Options({1}, true), 6},
        {"group 9 whatever 10, 11, E", Options({9, 10, 11}, true), 6},
        {"к with 10, 11, E", Options({2, 10, 11}, true), 18},
        {"х with 10, 11, E", Options({6, 10, 11}, true), 27},
        {"10 alone", Options({10}), 0},
        {"11 alone", Options({11}), 0},
        {"10 and 11", Options({10, 11}), 0},
        {"everything", OptionsFromMask(0x1FFF), 121},
    };
    for (const Case& c : cases) EXPECT_EQ(GetProgressLength(c.options), c.expected) << c.name;
}

TEST(ConversionPass, EveryRowStepsThenPumpsInTableOrder) {
    Recorder r(kmKatakana);
    std::u16string text = u"ка";
    ReplaceWithKanaUnicode(r.env, Options({2, 11}, true), text);
    EXPECT_EQ(U8(text), "カ");
    std::vector<std::string> expected = {"text:Замена слога «КА»: 0%"};
    for (int row = 46; row <= 54; ++row) {
        expected.push_back("step");
        expected.push_back("pump");
    }
    EXPECT_EQ(r.events, expected);
}

TEST(ConversionPass, SnowballAndKanaModeDoNotChangeTheStepCount) {
    const OptionSet options = Options({1, 2, 3, 9, 10}, true, true);
    for (KanaMode mode : {kmHiragana, kmKatakana, kmRandomKana}) {
        for (bool snowball : {false, true}) {
            StepEnvironment env;
            env.SnowballMode = snowball;
            env.CurrentKanaMode = mode;
            int steps = 0;
            env.StepProgress = [&] { ++steps; };
            std::u16string text = u"Какая-то сказка о снеге и гусях";
            ReplaceWithKanaUnicode(env, options, text);
            EXPECT_EQ(steps, GetProgressLength(options));
        }
    }
}

// A failure inside a step ends the pass at once and leaves the caller's text as it was.
TEST(ConversionPass, FailureLeavesTheTextUntouched) {
    Recorder r;
    int shown = 0;
    r.env.ShowProgressText = [&](const std::u16string&) {
        if (++shown == 5) throw std::runtime_error("out of luck");  // in the second step, row 48
    };
    const std::u16string input = u"Кака кока кука";
    std::u16string text = input;
    EXPECT_THROW(ReplaceWithKanaUnicode(r.env, Options({2}), text), std::runtime_error);
    EXPECT_EQ(U8(text), U8(input));
    EXPECT_EQ(r.steps, 2);
}

// The pass converts one buffer in place; it must give what chaining the public step row by
// row gives, draws and progress texts included, in every mode.
TEST(ConversionPass, AgreesWithChainedSteps) {
    const std::u16string words[] = {u"Какая", u"сказка", u"о", u"дзюдо", u"ёлка", u"Японии", u"пёс", u"нет",
                                    u"  ", u"\n", u"фуга", u"цунами", u"хохот", u"ВЕТЕР", u"рюкзак", u"Гэндзи"};
    std::mt19937 gen(2024);
    for (int iteration = 0; iteration < 300; ++iteration) {
        std::u16string text;
        const int count = static_cast<int>(gen() % 60);
        for (int i = 0; i < count; ++i) {
            text += words[gen() % std::size(words)];
            text += u' ';
        }
        const OptionSet options = OptionsFromMask(gen() % (1u << 13));
        const KanaMode mode = static_cast<KanaMode>(gen() % 3);
        const bool snowball = gen() % 2;
        std::vector<std::uint32_t> answers;
        const auto draw = [&](std::uint32_t n) {
            answers.push_back(gen() % n);
            return answers.back();
        };

        Recorder chained(mode, snowball);
        chained.env.RandomBelow = [&](std::uint32_t n) {
            chained.events.push_back("draw" + std::to_string(n));
            return draw(n);
        };
        std::u16string expected = text;
        for (const SyllableRow& row : SyllableTable())
            if (GuardHolds(row, options))
                expected = StrReplaceWSteps(chained.env, expected, row.Syllable, row.Hiragana, row.Katakana);

        Recorder passed(mode, snowball);
        passed.script.assign(answers.begin(), answers.end());
        std::u16string actual = text;
        ReplaceWithKanaUnicode(passed.env, options, actual);

        SCOPED_TRACE(U8(text));
        ASSERT_EQ(U8(actual), U8(expected));
        ASSERT_EQ(passed.count, chained.count);
        ASSERT_EQ(passed.events, chained.events);
        ASSERT_TRUE(passed.script.empty());
    }
}

// The same on one long text, so the percent thresholds and the block scan run at scale.
TEST(ConversionPass, AgreesWithChainedStepsOnALongText) {
    const std::u16string words[] = {u"Какая", u"сказка", u"о", u"дзюдо", u"ёлка", u"Японии", u"пёс", u"нет",
                                    u"фуга", u"цунами", u"хохот", u"ВЕТЕР", u"рюкзак", u"Гэндзи", u"в", u"лес"};
    std::mt19937 gen(7);
    std::u16string text;
    while (text.size() < 100000) {
        text += words[gen() % std::size(words)];
        text += gen() % 9 == 0 ? u"\r\n" : u" ";
    }
    const OptionSet options = OptionsFromMask(0x1FFF);
    std::vector<std::uint32_t> answers;
    StepEnvironment chained;
    chained.SnowballMode = true;
    chained.CurrentKanaMode = kmRandomKana;
    std::vector<std::u16string> chainedTexts;
    chained.ShowProgressText = [&](const std::u16string& t) { chainedTexts.push_back(t); };
    chained.RandomBelow = [&](std::uint32_t n) {
        answers.push_back(gen() % n);
        return answers.back();
    };
    std::u16string expected = text;
    for (const SyllableRow& row : SyllableTable())
        expected = StrReplaceWSteps(chained, expected, row.Syllable, row.Hiragana, row.Katakana);

    StepEnvironment passed = chained;
    std::vector<std::u16string> passedTexts;
    passed.ShowProgressText = [&](const std::u16string& t) { passedTexts.push_back(t); };
    std::size_t next = 0;
    passed.RandomBelow = [&](std::uint32_t) { return next < answers.size() ? answers[next++] : 0u; };
    std::u16string actual = text;
    ReplaceWithKanaUnicode(passed, options, actual);
    EXPECT_EQ(next, answers.size());
    EXPECT_TRUE(actual == expected);
    EXPECT_TRUE(passedTexts == chainedTexts);
    EXPECT_GT(chainedTexts.size(), 1000u);
}

}  // namespace
}  // namespace moratutor::test

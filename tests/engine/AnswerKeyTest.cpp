// The answer key against the text it describes: worked examples, a random text's round
// trip, and the slower way the engine takes when the source leaves no stand-ins free.
#include "TestSupport.h"

#include "moratutor/ConversionKey.h"
#include "moratutor/SyllableTable.h"

#include <random>
#include <stdexcept>

namespace moratutor::test {
namespace {

// "OFFSET+LENGTH:SOURCE#ROW" for each entry, space-separated.
std::string Describe(const AnswerKey& key) {
    std::string out;
    for (const KeyEntry& e : key) {
        if (!out.empty()) out += ' ';
        out += std::to_string(e.Offset) + "+" + std::to_string(e.Length) + ":" + U8(e.Source()) + "#" +
               std::to_string(e.Row);
    }
    return out;
}

// What every key must satisfy for the text it came with.
void ExpectKeyFits(std::u16string_view input, std::u16string_view output, const AnswerKey& key,
                   std::int32_t replacements) {
    ASSERT_EQ(key.size(), static_cast<std::size_t>(replacements));
    std::size_t end = 0;
    for (const KeyEntry& e : key) {
        ASSERT_GE(e.Offset, end) << "entries overlap or are out of order";
        ASSERT_LE(e.End(), output.size());
        EXPECT_EQ(U8(output.substr(e.Offset, e.Length)), U8(e.Kana()));
        end = e.End();
    }
    EXPECT_EQ(U8(RestoreSource(output, key)), U8(input));
}

struct KeyCase {
    const char* name;
    OptionSet options;
    const char* input;
    const char* output;
    const char* key;
};

TEST(AnswerKey, WorkedExamples) {
    const KeyCase cases[] = {
        {"case kept, yoon", Options({2, 4, 11}), "Кёто", "きょと", "0+2:Кё#53 2+1:то#68"},
        {"consonants before vowels", Options({1, 2, 4}), "ТоКИо", "ときお", "0+1:То#68 1+1:КИ#47 2+1:о#119"},
        {"particle keeps its spaces", Options({9}), "Он думал о ней", "Оん думал を んей",
         "1+1:н#114 9+1:о#113 11+1:н#114"},
        {"spaces row replaces the particle's spaces", Options({9}, false, true), "Он думал о ней",
         "Оん　думал　を　んей", "1+1:н#114 2+1: #121 8+1: #121 9+1:о#113 10+1: #121 11+1:н#114"},
        {"capital particle", Options({9}), "и О да", "и を да", "2+1:О#113"},
        {"later rows after shortened text", Options({3, 4, 10, 11}), "дзюдо дзюдо", "じゅど じゅど",
         "0+2:дзю#16 2+1:до#23 4+2:дзю#16 6+1:до#23"},
        {"nothing replaced", Options({2}), "мир", "мир", ""},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder r;
        std::u16string text = U16(c.input);
        AnswerKey key;
        ReplaceWithKanaUnicode(r.env, c.options, text, key);
        EXPECT_EQ(U8(text), c.output);
        EXPECT_EQ(Describe(key), c.key);
        ExpectKeyFits(U16(c.input), text, key, r.count);
    }
}

TEST(AnswerKey, KatakanaAndTheGroupsOfItsRows) {
    Recorder r(kmKatakana);
    std::u16string text = U16("гяке");
    AnswerKey key;
    ReplaceWithKanaUnicode(r.env, Options({2, 10, 11}, true), text, key);
    ASSERT_EQ(key.size(), 2u);
    EXPECT_EQ(U8(key[0].Kana()), "ギャ");
    EXPECT_EQ(key[0].Script, kmKatakana);
    EXPECT_EQ(LearningGroup(key[0].TableRow()), 10);  // voiced rows are learnt with "Нигори"
    EXPECT_EQ(LearningGroup(key[1].TableRow()), 2);   // an E row belongs to its consonant
    EXPECT_EQ(U8(GroupCaption(LearningGroup(key[1].TableRow()))), "Ка, Ки, Ку, Кэ, Ко");
}

// A long random text of syllables, capitals, spaces and other scripts.
std::u16string RandomText(std::mt19937& random, std::size_t length) {
    const std::u16string pieces[] = {u"ка", u"Ко", u"дзю", u"гя", u"ва", u" о ", u" О ", u"не", u"ё", u"н",
                                     u"а", u"Э", u" ", u"\n", u"x", u"ちゃ", u"тЁ", u"пе", u"цу", u"\U0001F600"};
    std::u16string text;
    while (text.size() < length) text += pieces[random() % std::size(pieces)];
    return text;
}

TEST(AnswerKey, RandomTextRoundTripsInEveryMode) {
    std::mt19937 random(11);
    const std::u16string input = RandomText(random, 20000);
    OptionSet all;
    all.Characters.fill(true);
    all.ReplaceE = all.ReplaceSpaces = true;
    for (const KanaMode mode : {kmHiragana, kmKatakana, kmRandomKana}) {
        for (const bool snowball : {false, true}) {
            SCOPED_TRACE(std::to_string(mode) + (snowball ? " snowball" : ""));
            std::mt19937 draws(5);
            StepEnvironment env;
            std::int32_t count = 0;
            env.SnowballMode = snowball;
            env.CurrentKanaMode = mode;
            env.ReplacementCount = &count;
            env.RandomBelow = [&draws](std::uint32_t n) { return static_cast<std::uint32_t>(draws() % n); };
            std::u16string keyed = input;
            AnswerKey key;
            ReplaceWithKanaUnicode(env, all, keyed, key);
            ExpectKeyFits(input, keyed, key, count);

            // The key changes nothing of the conversion itself.
            draws.seed(5);
            std::u16string plain = input;
            ReplaceWithKanaUnicode(env, all, plain);
            EXPECT_EQ(plain, keyed);
        }
    }
}

TEST(AnswerKey, SourceFullOfPrivateUseUnitsTakesTheCarriedWay) {
    std::mt19937 random(3);
    const std::u16string russian = RandomText(random, 5000);
    std::u16string privateUse;
    for (char16_t unit = 0xE000; unit <= 0xF8FF; ++unit) privateUse += unit;
    const OptionSet options = Options({1, 2, 3, 4, 5, 9, 10, 11}, true, true);

    Recorder a, b;
    std::u16string usual = russian;
    std::u16string carried = russian + privateUse;
    AnswerKey usualKey, carriedKey;
    ReplaceWithKanaUnicode(a.env, options, usual, usualKey);
    ReplaceWithKanaUnicode(b.env, options, carried, carriedKey);
    EXPECT_EQ(carried, usual + privateUse);  // the private-use units pass through untouched
    ExpectKeyFits(russian + privateUse, carried, carriedKey, b.count);
    EXPECT_EQ(Describe(carriedKey), Describe(usualKey));
}

// The kana are put in eight units at a time: two-unit kana across every boundary, and
// private-use units of the source that are not stand-ins next to them.
TEST(AnswerKey, KanaAcrossEveryBoundaryOfTheUnitsTestedTogether) {
    const std::u16string pieces[] = {u"кё", u"\uE000", u"х", u"ка", u"\uE001кё", u" "};
    for (std::size_t lead = 0; lead < 9; ++lead) {
        SCOPED_TRACE(lead);
        std::u16string input(lead, u'x');
        for (int i = 0; i < 12; ++i) input += pieces[static_cast<std::size_t>(i * 5 + static_cast<int>(lead)) % 6];
        Recorder r;
        std::u16string text = input;
        AnswerKey key;
        ReplaceWithKanaUnicode(r.env, Options({2, 11}), text, key);
        ExpectKeyFits(input, text, key, r.count);
        EXPECT_EQ(text.find_first_of(u"кК"), std::u16string::npos) << U8(text);
    }
}

TEST(AnswerKey, FailedPassLeavesTextAndKeyAlone) {
    Recorder r;
    r.env.PumpMessages = [] { throw std::runtime_error("stop"); };
    std::u16string text = U16("кака");
    AnswerKey key(1);
    EXPECT_THROW(ReplaceWithKanaUnicode(r.env, Options({2}), text, key), std::runtime_error);
    EXPECT_EQ(U8(text), "кака");
    EXPECT_EQ(key.size(), 1u);
}

}  // namespace
}  // namespace moratutor::test

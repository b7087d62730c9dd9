#include <gtest/gtest.h>

#include <cmath>

#include "EspeakSpeaker.h"
#include "KanaSpeech.h"
#include "moratutor/SyllableTable.h"

namespace {

using moratutor::speech::Utterance;

moratutor::KeyEntry Entry(int row, moratutor::KanaMode script, std::u16string_view source) {
    moratutor::KeyEntry entry;
    entry.Row = static_cast<std::uint8_t>(row);
    entry.Script = script;
    entry.SourceLength = static_cast<std::uint8_t>(source.size());
    std::copy(source.begin(), source.end(), entry.SourceUnits.begin());
    const moratutor::SyllableRow& table = moratutor::SyllableTable()[static_cast<std::size_t>(row - 1)];
    const std::u16string_view kana = script == moratutor::kmKatakana ? table.Katakana : table.Hiragana;
    entry.Length = static_cast<std::uint8_t>(kana.size() == 3 ? 1 : kana.size());  // the particle less its spaces
    return entry;
}

struct SpeechCase {
    const char* name;
    int row;
    moratutor::KanaMode script;
    std::u16string_view source;
    std::optional<Utterance> kana, syllable;
};

TEST(KanaSpeech, TextAndLanguageForAnEntry) {
    const SpeechCase cases[] = {
        {"kana", 50, moratutor::kmHiragana, u"Ко", Utterance{QStringLiteral("こ"), "ja"}, Utterance{QStringLiteral("Ко"), "ru"}},
        {"katakana", 50, moratutor::kmKatakana, u"ко", Utterance{QStringLiteral("コ"), "ja"}, Utterance{QStringLiteral("ко"), "ru"}},
        {"yoon", 105, moratutor::kmHiragana, u"ря", Utterance{QStringLiteral("りゃ"), "ja"}, Utterance{QStringLiteral("ря"), "ru"}},
        // The particle is said without the spaces around it, in both languages.
        {"particle", 113, moratutor::kmHiragana, u" о ", Utterance{QStringLiteral("を"), "ja"}, Utterance{QStringLiteral("о"), "ru"}},
        {"widened space", 121, moratutor::kmHiragana, u" ", std::nullopt, std::nullopt},
    };
    for (const SpeechCase& c : cases) {
        SCOPED_TRACE(c.name);
        const moratutor::KeyEntry entry = Entry(c.row, c.script, c.source);
        EXPECT_EQ(moratutor::speech::KanaUtterance(entry), c.kana);
        EXPECT_EQ(moratutor::speech::SyllableUtterance(entry), c.syllable);
    }
}

TEST(KanaSpeech, ChartRowsAtTheBoundaries) {
    EXPECT_EQ(moratutor::speech::KanaUtterance(1, moratutor::kmHiragana), (Utterance{QStringLiteral("が"), "ja"}));
    EXPECT_EQ(moratutor::speech::SyllableUtterance(120), (Utterance{QStringLiteral("е"), "ru"}));
    for (const int row : {0, 121, 122, -1}) {
        EXPECT_EQ(moratutor::speech::KanaUtterance(row, moratutor::kmKatakana), std::nullopt) << row;
        EXPECT_EQ(moratutor::speech::SyllableUtterance(row), std::nullopt) << row;
    }
}

// The real voice, where espeak-ng is installed: its sound for a kana is speech, not
// silence, made into memory so that no sound card is needed.
TEST(EspeakSpeaker, SaysAKanaAloud) {
    const std::optional<moratutor::speech::EspeakSpeaker::Audio> audio =
        moratutor::speech::EspeakSpeaker::Synthesise({QStringLiteral("こ"), QStringLiteral("ja")});
    if (!audio) GTEST_SKIP() << "espeak-ng is not installed";
    ASSERT_GT(audio->SampleRate, 8000);
    const double seconds = static_cast<double>(audio->Samples.size()) / audio->SampleRate;
    EXPECT_GT(seconds, 0.1);
    EXPECT_LT(seconds, 3.0);
    double energy = 0;
    for (const std::int16_t sample : audio->Samples) energy += static_cast<double>(sample) * sample;
    const double rms = std::sqrt(energy / static_cast<double>(audio->Samples.size()));
    EXPECT_GT(rms, 300.0);  // silence and dither stay in the tens

    // The Russian voice reads the syllable; a longer text takes longer.
    const auto syllable = moratutor::speech::EspeakSpeaker::Synthesise({QStringLiteral("ко"), QStringLiteral("ru")});
    const auto phrase = moratutor::speech::EspeakSpeaker::Synthesise({QStringLiteral("こんにちは"), QStringLiteral("ja")});
    ASSERT_TRUE(syllable && phrase);
    EXPECT_GT(syllable->Samples.size(), audio->SampleRate / 10u);
    EXPECT_GT(phrase->Samples.size(), audio->Samples.size());
    // Made into memory, the voice cannot also play: the speaker says so.
    EXPECT_FALSE(moratutor::speech::EspeakSpeaker().Available());
}

}  // namespace

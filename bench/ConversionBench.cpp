// Speed of the conversion pass on a novel-sized text: nanoseconds per code unit per step.
#include "BenchText.h"

#include "AnswerKeyFile.h"
#include "SafeFile.h"

#include "moratutor/ConversionKey.h"
#include "moratutor/Engine.h"
#include "moratutor/Utf8.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>

#include <QDir>
#include <QFile>

namespace {

using namespace moratutor;

constexpr std::size_t kTextLength = 2'000'000;

const std::u16string& Text() {
    static const std::u16string text = bench::BuildText(MORATUTOR_BENCH_WORDS, kTextLength);
    return text;
}

OptionSet AllOptions() {
    OptionSet options;
    options.Characters.fill(true);
    options.ReplaceE = true;
    options.ReplaceSpaces = true;
    return options;
}

double PeakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0;
}

void Convert(benchmark::State& state, const std::u16string& text, const OptionSet& options, KanaMode mode,
             bool snowball, bool withKey = false) {
    SeedRandom(1);
    std::int32_t replacements = 0;
    StepEnvironment env;
    env.SnowballMode = snowball;
    env.CurrentKanaMode = mode;
    env.ReplacementCount = &replacements;
    env.RandomBelow = [](std::uint32_t n) { return RandomBelow(n); };
    std::int64_t texts = 0;
    env.ShowProgressText = [&texts](const std::u16string&) { ++texts; };
    env.StepProgress = [] {};
    env.PumpMessages = [] {};
    const std::int32_t steps = GetProgressLength(options);

    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::u16string work = text;
        replacements = 0;
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        if (withKey) {
            AnswerKey key;
            ReplaceWithKanaUnicode(env, options, work, key);
            benchmark::DoNotOptimize(key.data());
            state.counters["key_entries"] = static_cast<double>(key.size());
        } else {
            ReplaceWithKanaUnicode(env, options, work);
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        benchmark::DoNotOptimize(work.data());
    }
    const double unitSteps = static_cast<double>(text.size()) * steps * static_cast<double>(state.iterations());
    state.counters["ns_per_unit_step"] = seconds * 1e9 / unitSteps;
    state.counters["units"] = static_cast<double>(text.size());
    state.counters["steps"] = steps;
    state.counters["replacements"] = replacements;
    state.counters["texts_per_run"] = static_cast<double>(texts) / static_cast<double>(state.iterations());
    state.counters["peak_rss_per_text"] = PeakResidentBytes() / (static_cast<double>(text.size()) * sizeof(char16_t));
}

// (a) All thirteen options, hiragana, Snowball off.
void BM_AllOptionsHiragana(benchmark::State& state) { Convert(state, Text(), AllOptions(), kmHiragana, false); }

// (b) All thirteen options, random kana, Snowball on.
void BM_AllOptionsRandomSnowball(benchmark::State& state) {
    Convert(state, Text(), AllOptions(), kmRandomKana, true);
}

// (a) again, with the answer key: must stay within one and a half times (a).
void BM_AllOptionsHiraganaWithKey(benchmark::State& state) {
    Convert(state, Text(), AllOptions(), kmHiragana, false, true);
}

// What moratutor-convert does with a plain text for standard output: the pass and the
// UTF-8 of its result; with the key, also the key file's bytes. The key must cost at most
// one and a half times the run without it. With `keyFile`, the bytes also go where the
// converter puts them: a save in steps, synced and renamed over the last run's key.
void ConverterRun(benchmark::State& state, bool withKey, const QString& keyFile = {}) {
    SeedRandom(1);
    StepEnvironment env;
    env.CurrentKanaMode = kmHiragana;
    env.RandomBelow = [](std::uint32_t n) { return RandomBelow(n); };
    env.StepProgress = [] {};
    const OptionSet options = AllOptions();
    for (auto _ : state) {
        state.PauseTiming();
        std::u16string work = Text();
        state.ResumeTiming();
        std::size_t keyBytes = 0;
        if (withKey) {
            AnswerKey key;
            ReplaceWithKanaUnicode(env, options, work, key);
            // In chunks, as the converter hands them to the key file.
            PendingSave save;
            if (!keyFile.isEmpty()) save.Begin(keyFile);
            convert::FormatAnswerKey(work, key, [&](std::string_view chunk) {
                benchmark::DoNotOptimize(chunk.data());
                keyBytes += chunk.size();
                if (!keyFile.isEmpty()) save.Append(QByteArrayView(chunk.data(), qsizetype(chunk.size())));
            });
            if (!keyFile.isEmpty() && !save.Commit().Saved()) state.SkipWithError("the key file was not saved");
            state.counters["key_entries"] = static_cast<double>(key.size());
        } else {
            ReplaceWithKanaUnicode(env, options, work);
        }
        const std::string output = codecs::EncodeUtf8(work);
        benchmark::DoNotOptimize(output.data());
        benchmark::DoNotOptimize(keyBytes);
    }
    state.counters["units"] = static_cast<double>(Text().size());
}

void BM_ConverterText(benchmark::State& state) { ConverterRun(state, false); }
void BM_ConverterTextWithKey(benchmark::State& state) { ConverterRun(state, true); }
void BM_ConverterTextWithKeyFile(benchmark::State& state) {
    ConverterRun(state, true, QDir::temp().filePath(QStringLiteral("moratutor-bench-key.txt")));
    QFile::remove(QDir::temp().filePath(QStringLiteral("moratutor-bench-key.txt")));
}

// A million occurrences of one syllable in one step: the progress texts must not dominate.
void BM_MillionOccurrences(benchmark::State& state) {
    std::u16string text;
    for (int i = 0; i < 1'000'000; ++i) text += u"ка";
    OptionSet only2;
    only2.Characters[1] = true;
    Convert(state, text, only2, kmHiragana, false);
}

BENCHMARK(BM_AllOptionsHiragana)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AllOptionsHiraganaWithKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AllOptionsRandomSnowball)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConverterText)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConverterTextWithKey)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConverterTextWithKeyFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MillionOccurrences)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

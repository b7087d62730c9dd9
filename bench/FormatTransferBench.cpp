// Speed of carrying a book's formatting through a conversion: a 2-million-unit text with a
// heading every 60 paragraphs and a bold or italic word every few words (all of it in a
// face and size of its own, as loaded books and RTF are), converted with
// every option; the formats taken from the source, mapped through the answer key and the
// converted document built, against the plain text's setPlainText.
#include "BenchText.h"
#include "moratutor/converted/ConvertedFormats.h"

#include "moratutor/ConversionKey.h"
#include "moratutor/Engine.h"

#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>

namespace {

using namespace moratutor;

constexpr std::size_t kTextLength = 2'000'000;

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "moratutor_format_bench";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static QGuiApplication application(argc, argv);
    }
}

// The source document: the bench text with headings and emphasis.
const QTextDocument& Source() {
    static const std::unique_ptr<QTextDocument> document = [] {
        EnsureApplication();
        const std::u16string text = bench::BuildText(MORATUTOR_BENCH_WORDS, kTextLength);
        auto made = std::make_unique<QTextDocument>();
        made->setUndoRedoEnabled(false);
        QTextCursor cursor(made.get());
        // Every run with a face and size of its own, as an RTF or a book's reader gives them.
        QTextCharFormat plain;
        plain.setFontFamilies({QStringLiteral("Times New Roman")});
        plain.setFontPointSize(10);
        QTextCharFormat bold = plain, italic = plain;
        bold.setFontWeight(QFont::Bold);
        italic.setFontItalic(true);
        QTextBlockFormat body, heading;
        body.setAlignment(Qt::AlignLeft);
        heading.setHeadingLevel(2);
        int paragraph = 0, word = 0;
        std::size_t from = 0;
        for (std::size_t i = 0; i <= text.size(); ++i) {
            const bool end = i == text.size() || text[i] == u'\n';
            if (!end && text[i] != u' ') continue;
            const QString piece = QString::fromUtf16(text.data() + from, static_cast<qsizetype>(i - from));
            cursor.insertText(piece, word % 7 == 3 ? bold : word % 11 == 5 ? italic : plain);
            ++word;
            from = i + 1;
            if (i == text.size()) break;
            if (end)
                cursor.insertBlock(++paragraph % 60 == 0 ? heading : body, plain);
            else
                cursor.insertText(QStringLiteral(" "), plain);
        }
        return made;
    }();
    return *document;
}

std::u16string SourceText() {
    std::u16string text = Source().toRawText().toStdU16String();
    for (char16_t& c : text)
        if (c == u'\u2029') c = u'\n';
    return text;
}

struct Conversion {
    std::u16string text;
    AnswerKey key;
};

const Conversion& Converted() {
    static const Conversion conversion = [] {
        Conversion made{SourceText(), {}};
        OptionSet options;
        options.Characters.fill(true);
        options.ReplaceE = true;
        options.ReplaceSpaces = true;
        StepEnvironment env;
        ReplaceWithKanaUnicode(env, options, made.text, made.key);
        return made;
    }();
    return conversion;
}

double PeakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0;
}

// What the window does on the GUI thread: takes the formats and maps them.
void BM_TakeAndMapFormats(benchmark::State& state) {
    const Conversion& conversion = Converted();
    for (auto _ : state) {
        converted::SourceFormats formats = converted::TakeFormats(Source());
        converted::MapToConverted(formats, conversion.key);
        state.counters["runs"] = static_cast<double>(formats.Runs.size());
        state.counters["paragraphs"] = static_cast<double>(formats.Paragraphs.size());
    }
}

// What it does aside: the converted document built with the formats.
void BM_FillFormatted(benchmark::State& state) {
    const Conversion& conversion = Converted();
    converted::SourceFormats formats = converted::TakeFormats(Source());
    converted::MapToConverted(formats, conversion.key);
    for (auto _ : state) {
        QTextDocument document;
        document.setUndoRedoEnabled(false);
        QTextCursor edit(&document);
        edit.beginEditBlock();
        converted::FillFormatted(document, conversion.text, formats);
        edit.endEditBlock();
        benchmark::DoNotOptimize(document.characterCount());
    }
    state.counters["units"] = static_cast<double>(conversion.text.size());
    state.counters["peak_rss_per_text"] = PeakResidentBytes() / (static_cast<double>(conversion.text.size()) * sizeof(char16_t));
}

// The same text without formats, as a plain source is put in.
void BM_FillPlain(benchmark::State& state) {
    const Conversion& conversion = Converted();
    const QString text = QString::fromStdU16String(conversion.text);
    for (auto _ : state) {
        QTextDocument document;
        document.setUndoRedoEnabled(false);
        QTextCursor edit(&document);
        edit.beginEditBlock();
        document.setPlainText(text);
        edit.endEditBlock();
        benchmark::DoNotOptimize(document.characterCount());
    }
}

BENCHMARK(BM_TakeAndMapFormats)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FillFormatted)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FillPlain)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

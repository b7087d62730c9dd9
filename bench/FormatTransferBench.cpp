// Speed of carrying a book's formatting through a conversion: a 2-million-unit text with a
// heading every 60 paragraphs and a bold or italic word every few words (all of it in a
// face and size of its own, as loaded books and RTF are), converted with
// every option; the formats taken from the source, mapped through the answer key and the
// converted document built, against the plain text's setPlainText. Argument 0 is that text
// in long paragraphs, built by a cursor; 1 is the window timing's formatted book, short lines
// read by the RTF reader as the window opens it (a run for every emphasised word).
#include "BenchText.h"
#include "moratutor/converted/ConvertedFormats.h"
#include "moratutor/rtf/RtfReader.h"
#include "UKanaChart.h"

#include "moratutor/ConversionKey.h"
#include "moratutor/Engine.h"

#include <QApplication>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace moratutor;

constexpr std::size_t kTextLength = 2'000'000;

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "moratutor_format_bench";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static QApplication application(argc, argv);
    }
}

// The source document: the bench text with headings and emphasis.
const QTextDocument& CursorSource() {
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

// A text unit as RTF in code page 1251 writes it (the word list is Russian).
std::string Cp1251(char16_t c) {
    if (c == u'\\' || c == u'{' || c == u'}') return {'\\', static_cast<char>(c)};
    if (c < 0x80) return std::string(1, static_cast<char>(c));
    const unsigned byte = c >= u'А' && c <= u'я' ? 0xC0 + (c - u'А') : c == u'ё' ? 0xB8 : c == u'Ё' ? 0xA8 : '?';
    static constexpr char kHex[] = "0123456789abcdef";
    return {'\\', '\'', kHex[byte >> 4], kHex[byte & 15]};
}

// The window timing's formatted book: lines of four to eight words, a heading (large, bold)
// every 60 lines, in the others a bold word every 7 and an italic one every 11.
std::string FormattedRtf(const std::u16string& text) {
    std::string rtf = R"({\rtf1\ansi\ansicpg1251\deff0{\fonttbl{\f0\fnil\fcharset204 Times New Roman;}}\f0\fs20 )";
    std::vector<std::string> words;
    std::string word;
    for (char16_t c : text) {
        if (c == u' ' || c == u'\r' || c == u'\n') {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            word += Cp1251(c);
        }
    }
    std::size_t line = 0, at = 0;
    while (at < words.size()) {
        const std::size_t count = std::min<std::size_t>(4 + line % 5, words.size() - at);
        std::string out;
        for (std::size_t k = 0; k < count; ++k) {
            const std::string& w = words[at + k];
            if (k) out += ' ';
            out += line % 60 == 0 ? w : k % 7 == 3 ? "{\\b " + w + "}" : k % 11 == 5 ? "{\\i " + w + "}" : w;
        }
        rtf += line % 60 == 0 ? "{\\fs32\\b " + out + "}\\par\n" : out + "\\par\n";
        at += count;
        ++line;
    }
    return rtf + "}";
}

const QTextDocument& RtfSource() {
    static const std::unique_ptr<QTextDocument> document = [] {
        EnsureApplication();
        auto made = std::make_unique<QTextDocument>();
        made->setUndoRedoEnabled(false);
        rtf::ReadRtf(FormattedRtf(bench::BuildText(MORATUTOR_BENCH_WORDS, kTextLength)), *made);
        made->setUndoRedoEnabled(true);
        return made;
    }();
    return *document;
}

const QTextDocument& Source(std::int64_t which) { return which == 0 ? CursorSource() : RtfSource(); }

std::u16string SourceText(const QTextDocument& source) {
    std::u16string text = source.toRawText().toStdU16String();
    for (char16_t& c : text)
        if (c == u'\u2029') c = u'\n';
    return text;
}

struct Conversion {
    std::u16string text;
    AnswerKey key;
};

const Conversion& Converted(std::int64_t which) {
    static std::map<std::int64_t, Conversion> conversions;
    auto [at, fresh] = conversions.try_emplace(which);
    if (fresh) {
        Conversion& made = at->second;
        made.text = SourceText(Source(which));
        OptionSet options;
        options.Characters.fill(true);
        options.ReplaceE = true;
        options.ReplaceSpaces = true;
        StepEnvironment env;
        ReplaceWithKanaUnicode(env, options, made.text, made.key);
    }
    return at->second;
}

// What the C library has handed out and not had back: the heap and its large blocks.
double HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

double PeakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0;
}

// What the window does on the GUI thread: takes the formats and maps them.
void BM_TakeAndMapFormats(benchmark::State& state) {
    const Conversion& conversion = Converted(state.range(0));
    for (auto _ : state) {
        converted::SourceFormats formats = converted::TakeFormats(Source(state.range(0)));
        converted::MapToConverted(formats, conversion.key);
        state.counters["runs"] = static_cast<double>(formats.Runs.size());
        state.counters["paragraphs"] = static_cast<double>(formats.Paragraphs.size());
    }
}

// What it does aside: the converted document built with the formats.
void BM_FillFormatted(benchmark::State& state) {
    const Conversion& conversion = Converted(state.range(0));
    converted::SourceFormats formats = converted::TakeFormats(Source(state.range(0)));
    converted::MapToConverted(formats, conversion.key);
    double held = 0;
    for (auto _ : state) {
        const double before = HeapInUse();
        QTextDocument document;
        document.setUndoRedoEnabled(false);
        QTextCursor edit(&document);
        edit.beginEditBlock();
        converted::FillFormatted(document, conversion.text, formats);
        edit.endEditBlock();
        benchmark::DoNotOptimize(document.characterCount());
        held = HeapInUse() - before;
    }
    // The heap the finished document holds, over the text's size in UTF-16.
    state.counters["document_per_text"] = held / (static_cast<double>(conversion.text.size()) * sizeof(char16_t));
    state.counters["units"] = static_cast<double>(conversion.text.size());
    state.counters["peak_rss_per_text"] = PeakResidentBytes() / (static_cast<double>(conversion.text.size()) * sizeof(char16_t));
}

// The same text without formats, as a plain source is put in.
void BM_FillPlain(benchmark::State& state) {
    const Conversion& conversion = Converted(state.range(0));
    const QString text = QString::fromStdU16String(conversion.text);
    double held = 0;
    for (auto _ : state) {
        const double before = HeapInUse();
        QTextDocument document;
        document.setUndoRedoEnabled(false);
        QTextCursor edit(&document);
        edit.beginEditBlock();
        document.setPlainText(text);
        edit.endEditBlock();
        benchmark::DoNotOptimize(document.characterCount());
        held = HeapInUse() - before;
    }
    state.counters["document_per_text"] = held / (static_cast<double>(conversion.text.size()) * sizeof(char16_t));
}

// The kana chart's counts of a book's key (933,000 entries), shown after every conversion.
void BM_KanaChartCounts(benchmark::State& state) {
    const Conversion& conversion = Converted(1);
    ui::TFKanaChart chart;
    for (auto _ : state) chart.SetCounts(conversion.key);
    state.counters["entries"] = static_cast<double>(conversion.key.size());
}

BENCHMARK(BM_TakeAndMapFormats)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FillFormatted)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FillPlain)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KanaChartCounts)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

// Time of a PDF per page, from a short book to a long one: flat when each page costs its
// own lines only. Run: <build>/bin/moratutor_pdf_bench
#include "BenchText.h"

#include "moratutor/books/PagedOutput.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

// About what an A4 page at 11 points holds, paragraph breaks included.
constexpr std::size_t kCharactersPerPage = 2'600;

// A sentence a paragraph, as in dialogue and verse: many short paragraphs are what made a
// page's cost grow with the pages before it.
QString SentencesAsParagraphs(std::u16string text) {
    for (std::size_t at = text.find(u". "); at != std::u16string::npos; at = text.find(u". ", at + 1)) text[at + 1] = u'\n';
    return QString::fromStdU16String(text);
}

void PdfOfBook(benchmark::State& state) {
    const auto pages = static_cast<std::size_t>(state.range(0));
    QTextDocument document;
    document.setUndoRedoEnabled(false);
    document.setDefaultFont(moratutor::books::HandoutFont());
    document.setPlainText(SentencesAsParagraphs(moratutor::bench::BuildText(MORATUTOR_BENCH_WORDS, pages * kCharactersPerPage)));
    double seconds = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const auto pdf = moratutor::books::RenderPdf(document, QStringLiteral("Книга"));
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!pdf) state.SkipWithError("no PDF");
        bytes = pdf ? static_cast<std::size_t>(pdf->size()) : 0;
    }
    const double pagesMade = static_cast<double>(pages) * static_cast<double>(state.iterations());
    state.counters["ms_per_page"] = seconds * 1000 / pagesMade;
    state.counters["pdf_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(PdfOfBook)->Arg(100)->Arg(250)->Arg(500)->Arg(1000)->Arg(2000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    // Fonts need an application; no window is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

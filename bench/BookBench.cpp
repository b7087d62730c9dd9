// Books through load, reshaping and the writers: a book of chapters, emphasis and notes.
// Run: <build>/bin/moratutor_books_bench
#include "moratutor/books/BookStructure.h"
#include "moratutor/books/BookWriters.h"
#include "moratutor/books/DocumentLoader.h"
#include "moratutor/books/PagedOutput.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

// About chars characters in chapters of 40 paragraphs, each chapter with a note.
std::string BookOf(std::size_t chars) {
    std::string body;
    std::string notes;
    const std::string paragraph =
        "<p>Ёжик шёл по <emphasis>лесу</emphasis> и думал о тумане, а <strong>медвежонок</strong> ждал его с вареньем.</p>";
    for (int chapter = 1; body.size() < chars * 2; ++chapter) {
        const std::string n = std::to_string(chapter);
        body += "<section><title><p>Глава " + n + "</p></title><p>Сноска<a l:href=\"#n" + n + "\" type=\"note\">" + n + "</a></p>";
        for (int i = 0; i < 40; ++i) body += paragraph;
        body += "</section>";
        notes += "<section id=\"n" + n + "\"><title><p>" + n + "</p></title><p>Примечание о лесе.</p></section>";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
           "xmlns:l=\"http://www.w3.org/1999/xlink\"><description><title-info><book-title>Книга</book-title></title-info>"
           "</description><body>" +
           body + "</body><body name=\"notes\">" + notes + "</body></FictionBook>";
}

std::unique_ptr<QTextDocument> Loaded(std::size_t chars) {
    auto document = std::make_unique<QTextDocument>();
    document->setUndoRedoEnabled(false);
    moratutor::books::LoadDocument(BookOf(chars), *document);
    return document;
}

void BM_LoadFb2(benchmark::State& state) {
    const std::string book = BookOf(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        QTextDocument document;
        document.setUndoRedoEnabled(false);
        benchmark::DoNotOptimize(moratutor::books::LoadDocument(book, document));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(book.size()));
}
BENCHMARK(BM_LoadFb2)->Arg(2'000'000)->Unit(benchmark::kMillisecond);

void BM_WriteEpub(benchmark::State& state) {
    const auto source = Loaded(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(moratutor::books::WriteEpub(*source, QStringLiteral("Книга")));
}
BENCHMARK(BM_WriteEpub)->Arg(2'000'000)->Unit(benchmark::kMillisecond);

void BM_WriteFb2(benchmark::State& state) {
    const auto source = Loaded(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(moratutor::books::WriteFb2(*source, QStringLiteral("Книга")));
}
BENCHMARK(BM_WriteFb2)->Arg(2'000'000)->Unit(benchmark::kMillisecond);

// Chapters on their own pages: about 60 pages.
void BM_RenderPdfWithChapters(benchmark::State& state) {
    const auto source = Loaded(static_cast<std::size_t>(state.range(0)));
    source->setDefaultFont(moratutor::books::HandoutFont());
    for (auto _ : state) benchmark::DoNotOptimize(moratutor::books::RenderPdf(*source, QStringLiteral("Книга")));
}
BENCHMARK(BM_RenderPdfWithChapters)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

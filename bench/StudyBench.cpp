// The cost of the learner's study on a book-sized result, through the real window on the
// offscreen platform: a tool tip over a kana (counted as a look-up) and a page scrolled and
// painted (its kana counted as read past), each with the counting on and off.
#include "BenchText.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHelpEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolTip>

#include <benchmark/benchmark.h>

#include <memory>

#include "AnswerKeyPane.h"
#include "KanaCounts.h"
#include "MessageBoxes.h"
#include "UMain.h"

namespace {

constexpr std::size_t kTextLength = 2'000'000;

struct Window {
    std::unique_ptr<moratutor::ui::TFMain> main;
    QTextEdit* converted = nullptr;
    moratutor::ui::AnswerKeyPane* key = nullptr;
    moratutor::study::KanaCounts counts;
};

Window& TheWindow() {
    static Window window;
    return window;
}

void Count(moratutor::ui::AnswerKeyPane* key, bool on) { key->SetStudyCounts(on ? &TheWindow().counts : nullptr); }

void BM_ToolTipOverKana(benchmark::State& state) {
    Window& w = TheWindow();
    Count(w.key, state.range(0) != 0);
    QTextCursor cursor(w.converted->document());
    const QWidget* view = w.converted->viewport();
    const int first = w.converted->cursorForPosition(QPoint(4, 4)).position();
    const int last = w.converted->cursorForPosition(QPoint(view->width() - 4, view->height() - 20)).position();
    int position = first;
    std::int64_t shown = 0;
    for (auto _ : state) {
        // The next kana in view, round again from the top.
        while (w.key->ToolTipAt(position).isEmpty()) position = position >= last ? first : position + 1;
        cursor.setPosition(position);
        const QPoint at = w.converted->cursorRect(cursor).center() + QPoint(2, 0);
        QHelpEvent help(QEvent::ToolTip, at, w.converted->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(w.converted->viewport(), &help);
        shown += QToolTip::isVisible();
        QToolTip::hideText();
        position = position >= last ? first : position + 1;
    }
    state.counters["shown"] = benchmark::Counter(static_cast<double>(shown), benchmark::Counter::kAvgIterations);
}

void BM_PageDownPainted(benchmark::State& state) {
    Window& w = TheWindow();
    Count(w.key, state.range(0) != 0);
    QScrollBar* bar = w.converted->verticalScrollBar();
    for (auto _ : state) {
        bar->setValue(bar->value() + bar->pageStep() < bar->maximum() ? bar->value() + bar->pageStep() : 0);
        w.converted->viewport()->repaint();
    }
}

BENCHMARK(BM_ToolTipOverKana)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PageDownPainted)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    moratutor::ui::TFMain::SetPreferencesPathOverride(dir.filePath(QStringLiteral("bench.ini")));
    // The run's report box would wait for a click.
    moratutor::ui::SetMessageSink([](QMessageBox::Icon, const QString&, const QString&) {});
    Window& w = TheWindow();
    w.main = std::make_unique<moratutor::ui::TFMain>();
    w.main->show();
    for (QCheckBox* box : w.main->findChildren<QCheckBox*>())
        if (box->objectName().startsWith(QStringLiteral("chkbxCharacters"))) box->setChecked(true);
    const std::u16string text = moratutor::bench::BuildText(MORATUTOR_BENCH_WORDS, kTextLength);
    w.main->findChild<QTextEdit*>(QStringLiteral("richSourceTextAnsi"))->setPlainText(QString::fromStdU16String(text));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();  // the groups 10 and 11 come in after 1 to 9
    w.main->findChild<QAction*>(QStringLiteral("actReplaceWithHiragana"))->trigger();
    QCoreApplication::processEvents();
    w.converted = w.main->findChild<QTextEdit*>(QStringLiteral("richConvertedTextUnicode"));
    w.key = w.converted->findChild<moratutor::ui::AnswerKeyPane*>();
    // Kana are shorter than the syllables they replace: the result is shorter, but not by half.
    if (!w.key || w.converted->document()->characterCount() < static_cast<int>(kTextLength / 2)) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    w.main.reset();
    return 0;
}

// The main window's side of the learner's aids: the highlight of the kana a run wrote, the
// kana chart, and what a run tells them.
#include "UMain.h"

#include <QAction>
#include <QCheckBox>
#include <QScreen>
#include <QTextEdit>

#include <algorithm>
#include <utility>

#include "AnswerKeyPane.h"
#include "moratutor/converted/ConvertedFormats.h"
#include "UKanaChart.h"

namespace moratutor::ui {

void TFMain::actHighlightReplacementsExecute() { ConvertedTextKey->SetHighlight(actHighlightReplacements->isChecked()); }

void TFMain::actKeyAtCaretExecute() { ConvertedTextKey->ShowToolTipAtCaret(); }

void TFMain::ShowOptionsInKanaChart() { KanaChart->SetOptions(CurrentOptions()); }

QPoint TFMain::KanaChartPlace(const QRect& window, const QSize& chart, const QRect& screen) {
    // Right of the window, else left of it; where neither side has room, at the screen's
    // right edge, so that the groups and the start of the lines stay in view. Never off
    // the screen.
    int left = window.right() + 1;
    if (left + chart.width() > screen.right() + 1) {
        left = window.left() - chart.width();
        if (left < screen.left()) left = screen.right() + 1 - chart.width();
    }
    left = std::max(screen.left(), std::min(left, screen.right() + 1 - chart.width()));
    const int top = std::max(screen.top(), std::min(window.top(), screen.bottom() + 1 - chart.height()));
    return {left, top};
}

QPoint TFMain::WindowPlaceBesideChart(const QRect& window, const QSize& chart, const QRect& screen) {
    // Only where neither side has room for the chart: where the screen has room for both,
    // the two side by side, centred, so that the chart covers nothing of the window; where
    // it has not, the window at the screen's left edge, so that the chart at the right edge
    // covers as little of it as it can.
    const bool right = window.right() + chart.width() <= screen.right();
    const bool left = window.left() - chart.width() >= screen.left();
    if (right || left) return window.topLeft();
    const int spare = std::max(0, screen.width() - window.width() - chart.width());
    return {screen.left() + spare / 2, window.top()};
}

void TFMain::actKanaChartExecute() {
    if (!KanaChartShownBefore) {
        KanaChartShownBefore = true;
        const QScreen* screen = this->screen();
        const QRect available = screen ? screen->availableGeometry() : frameGeometry();
        // Not shown yet, the chart knows nothing of its title bar: it gets the main window's.
        const QSize frame = frameGeometry().size() - size();
        if (KanaChart->height() + frame.height() > available.height())
            KanaChart->resize(KanaChart->width(), std::max(200, available.height() - frame.height()));
        const QSize chart = KanaChart->size() + frame;
        if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
            move(WindowPlaceBesideChart(frameGeometry(), chart, available));
        KanaChart->move(KanaChartPlace(frameGeometry(), chart, available));
    }
    KanaChart->show();
    KanaChart->raise();
    KanaChart->activateWindow();
}

void TFMain::ShowConversion(moratutor::AnswerKey key, const std::u16string& text,
                            moratutor::converted::SourceFormats formats) {
    KanaChart->SetCounts(key);
    // The source's formatting goes over through the full key, before it is compacted.
    moratutor::converted::MapToConverted(formats, key);
    // The engine's key gives way to the pane's smaller one before the result's document is
    // built: for a book the two keys and two documents at once would be the program's peak.
    AnswerKeyPane::CompactKey compact = AnswerKeyPane::Compact(std::move(key));
    SetConvertedText(text, formats);
    formats = {};
    ConvertedTextKey->SetKey(std::move(compact), text);
}

}  // namespace moratutor::ui

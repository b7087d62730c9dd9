// The main window's side of the learner's aids: the highlight of the kana a run wrote, the
// kana chart, and what a run tells them.
#include "UMain.h"

#include <QAction>
#include <QCheckBox>
#include <QScreen>

#include <algorithm>
#include <utility>

#include "AnswerKey.h"
#include "UKanaChart.h"

void TFMain::actHighlightReplacementsExecute() { ConvertedTextKey->SetHighlight(actHighlightReplacements->isChecked()); }

void TFMain::ShowOptionsInKanaChart() { KanaChart->SetOptions(CurrentOptions()); }

void TFMain::actKanaChartExecute() {
    if (!KanaChartShownBefore) {
        KanaChartShownBefore = true;
        // Beside the main window, on the side where the screen has room; later openings
        // come back where the user left it.
        const QRect frame = frameGeometry();
        const QScreen* screen = this->screen();
        const QRect available = screen ? screen->availableGeometry() : frame;
        const int chartWidth = KanaChart->frameGeometry().width();
        int left = frame.right() + 1;
        if (left + chartWidth > available.right() + 1) left = frame.left() - chartWidth;
        left = std::clamp(left, available.left(), std::max(available.left(), available.right() + 1 - chartWidth));
        KanaChart->move(left, std::max(frame.top(), available.top()));
    }
    KanaChart->show();
    KanaChart->raise();
    KanaChart->activateWindow();
}

void TFMain::ShowRunInLearnersAids(moratutor::AnswerKey key, const std::u16string& text) {
    KanaChart->SetCounts(key);
    ConvertedTextKey->SetKey(std::move(key), text);
}

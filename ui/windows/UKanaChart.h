// The kana chart: every syllable of the eleven groups with its hiragana and katakana, the
// cells of the ticked groups highlighted, and what the last run wrote of each.
#pragma once

#include <QColor>
#include <QRect>
#include <QWidget>

#include <vector>

#include "moratutor/ConversionKey.h"
#include "moratutor/Engine.h"

class QLabel;
class QScrollArea;
class QPushButton;
class QVBoxLayout;

namespace moratutor::speech {
class Speaker;
}
namespace moratutor::study {
class KanaCounts;
}

namespace moratutor::ui {

class TFKanaChart : public QWidget {
    Q_OBJECT
public:
    // A window of its own beside `owner`, not modal, kept above it.
    explicit TFKanaChart(QWidget* owner = nullptr);

    // Highlights the cells whose rows these ticks apply.
    void SetOptions(const moratutor::OptionSet& options);
    // The counts of the last run, from its key.
    void SetCounts(const moratutor::AnswerKey& key);

    // What the cell of a table row shows, for the tests: null when the row has no cell.
    QWidget* Cell(int row) const;
    bool CellHighlighted(int row) const;
    int HiraganaCount(int row) const;
    int KatakanaCount(int row) const;
    QString Summary() const;

    // The learner's study (UKanaChartStudy.cpp). Each kana is shaded from "still looked up"
    // to "known" by its counts, the ones to practise framed, and a line says which group
    // to tick next once the ticked ones are known.
    void ShowStudy(const moratutor::study::KanaCounts& counts, const moratutor::OptionSet& options);
    // Why the counts are not kept (a damaged file), shown above the chart; empty: nothing.
    void SetStudyProblem(const QString& problem);
    // A kana clicked is said in Japanese, a syllable in Russian; without a voice the chart
    // says so, greyed, and its tool tip names the package. Null: mute.
    void SetSpeaker(moratutor::speech::Speaker* speaker);
    QString StudySummary() const;
    QWidget* SpeechNote() const;
    // The shade's colour of a kana (invalid: not met often enough), and whether it is framed.
    QColor KanaShade(int row, moratutor::KanaMode script) const;
    bool MarkedToPractise(int row, moratutor::KanaMode script) const;
    QWidget* KanaLabel(int row, moratutor::KanaMode script) const;

signals:
    // The user asked to reset the counts (the chart's button).
    void ResetCountsRequested();

protected:
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct CellWidgets {
        QWidget* Frame = nullptr;
        QLabel* HiraganaCount = nullptr;
        QLabel* KatakanaCount = nullptr;
        QLabel* SyllableLabel = nullptr;
        QLabel* HiraganaLabel = nullptr;
        QLabel* KatakanaLabel = nullptr;
        QColor HiraganaShade, KatakanaShade;
        bool HiraganaPractise = false, KatakanaPractise = false;
        int Hiragana = 0;
        int Katakana = 0;
        bool Highlighted = false;
    };

    void AddKeys();
    void AddSection(QVBoxLayout* sheet, const QString& heading, const std::vector<std::vector<int>>& rows);
    QWidget* MakeCell(int row);
    void ShowHighlight(CellWidgets& cell, bool on);
    QWidget* MakeStudyBar();
    void ShowKanaStudy(QLabel* label, const moratutor::study::KanaCounts& counts, int row, moratutor::KanaMode script);
    void Speak(QObject* label) const;

    QLabel* lblSummary = nullptr;
    QScrollArea* scroll_ = nullptr;
    QLabel* lblStudy = nullptr;
    QLabel* lblSpeech = nullptr;
    QPushButton* btnResetCounts = nullptr;
    moratutor::speech::Speaker* speaker_ = nullptr;
    std::vector<CellWidgets> cells_;  // by table row - 1
    QRect lastGeometry_;
    bool placed_ = false;
};

}  // namespace moratutor::ui

// The kana chart: every syllable of the eleven groups with its hiragana and katakana, the
// cells of the ticked groups highlighted, and what the last run wrote of each.
#pragma once

#include <QRect>
#include <QWidget>

#include <vector>

#include "moratutor/ConversionKey.h"
#include "moratutor/Engine.h"

class QLabel;
class QScrollArea;
class QVBoxLayout;

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

protected:
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct CellWidgets {
        QWidget* Frame = nullptr;
        QLabel* HiraganaCount = nullptr;
        QLabel* KatakanaCount = nullptr;
        int Hiragana = 0;
        int Katakana = 0;
        bool Highlighted = false;
    };

    void AddKeys();
    void AddSection(QVBoxLayout* sheet, const QString& heading, const std::vector<std::vector<int>>& rows);
    QWidget* MakeCell(int row);
    void ShowHighlight(CellWidgets& cell, bool on);

    QLabel* lblSummary = nullptr;
    QScrollArea* scroll_ = nullptr;
    std::vector<CellWidgets> cells_;  // by table row - 1
    QRect lastGeometry_;
    bool placed_ = false;
};

}  // namespace moratutor::ui

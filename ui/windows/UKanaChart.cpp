#include "UKanaChart.h"

#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>

#include <cstdint>
#include <map>
#include <vector>

#include "MarkingColours.h"
#include "moratutor/SyllableTable.h"

namespace moratutor::ui {

namespace {

using moratutor::SyllableRow;

QString FromView(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).trimmed();
}

// The kana of the panes are 10 pt; the chart's are more than twice that, to study them.
constexpr int kKanaPointSize = 22;
constexpr int kCellsPerLine = 6;
constexpr int kCellWidth = 76;
constexpr int kSpacing = 3;

// Columns a row's cell takes: two for the yoon kana, which are two characters each (the
// particle's spaces do not count).
int Span(int rowNumber) {
    return static_cast<int>(FromView(moratutor::SyllableTable()[static_cast<std::size_t>(rowNumber - 1)].Hiragana).size());
}

bool IsYoon(const SyllableRow& row) { return row.Guard & moratutor::gGroup11; }
bool IsE(const SyllableRow& row) { return row.Guard & moratutor::gReplaceE; }
bool IsVoiced(const SyllableRow& row) { return row.Guard & moratutor::gGroup10; }

// The group of 1 to 9 whose tick, alone or with others, brings the row in.
int BaseGroup(const SyllableRow& row) {
    for (int group = 1; group <= 9; ++group)
        if (row.Guard & (1u << (group - 1))) return group;
    return 0;
}

// Rows in the order the captions give them: by base group, the voiced consonants after the
// plain ones (as "Нигори" follows the other groups), the table's order within.
std::vector<int> RowsWhere(bool (*wanted)(const SyllableRow&)) {
    std::vector<const SyllableRow*> rows;
    for (const SyllableRow& row : moratutor::SyllableTable())
        if (wanted(row)) rows.push_back(&row);
    std::stable_sort(rows.begin(), rows.end(), [](const SyllableRow* a, const SyllableRow* b) {
        return std::pair(IsVoiced(*a), BaseGroup(*a)) < std::pair(IsVoiced(*b), BaseGroup(*b));
    });
    std::vector<int> numbers;
    for (const SyllableRow* row : rows) numbers.push_back(row->Row);
    return numbers;
}

// Cuts `rows` into lines of at most kCellsPerLine cells; runs of `keep` rows (one
// consonant's) stay together on one line.
std::vector<std::vector<int>> Lines(const std::vector<int>& rows, std::size_t keep) {
    std::vector<std::vector<int>> lines;
    int used = 0;
    for (std::size_t i = 0; i < rows.size(); i += keep) {
        const std::size_t end = std::min(rows.size(), i + keep);
        int width = 0;
        for (std::size_t k = i; k < end; ++k) width += Span(rows[k]);
        if (lines.empty() || used + width > kCellsPerLine) {
            lines.emplace_back();
            used = 0;
        }
        for (std::size_t k = i; k < end; ++k) lines.back().push_back(rows[k]);
        used += width;
    }
    return lines;
}

QLabel* MakeLabel(const QString& text, int pointSize, bool bold = false) {
    auto* label = new QLabel(text);
    QFont font = label->font();
    font.setPointSize(pointSize);
    font.setBold(bold);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace

TFKanaChart::TFKanaChart(QWidget* owner) : QWidget(owner, Qt::Tool), cells_(moratutor::kSyllableRowCount) {
    setObjectName(QStringLiteral("FKanaChart"));
    setWindowTitle(QStringLiteral("Таблица каны"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    lblSummary = new QLabel(QStringLiteral("Числа под знаками появятся после преобразования текста."));
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);

    // One column of sections, narrow enough to stand beside the main window; taller
    // than a screen, so it scrolls.
    auto* sheet = new QWidget;
    auto* grid = new QVBoxLayout(sheet);
    grid->setSpacing(kSpacing);
    // No margins of its own beside the window's: narrow enough to stand beside the main
    // window on a screen 1280 pixels wide.
    grid->setContentsMargins(0, 0, 0, 0);

    // The nine groups, one line each, plain rows in the order of their captions.
    std::vector<std::vector<int>> groups(9);
    for (const SyllableRow& row : moratutor::SyllableTable())
        if (const int group = moratutor::LearningGroup(row); group >= 1 && group <= 9 && !IsE(row))
            groups[static_cast<std::size_t>(group - 1)].push_back(row.Row);
    AddSection(grid, QStringLiteral("Группы слогов"), groups);
    AddSection(grid, FromView(moratutor::GroupCaption(10)),
               Lines(RowsWhere([](const SyllableRow& r) { return IsVoiced(r) && !IsYoon(r) && !IsE(r); }), 5));
    AddSection(grid, FromView(moratutor::GroupCaption(11)), Lines(RowsWhere(IsYoon), 3));
    AddSection(grid, QStringLiteral("Замена «Э» и «Е»"), Lines(RowsWhere(IsE), 1));
    grid->addStretch();

    scroll_ = new QScrollArea;
    scroll_->setWidget(sheet);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    AddKeys();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addWidget(MakeStudyBar());
    layout->addWidget(scroll_, 1);
    // As wide as six cells, as tall as fits beside the main window.
    const QMargins sheetMargins = grid->contentsMargins(), margins = layout->contentsMargins();
    const int width = kCellsPerLine * (kCellWidth + kSpacing) + sheetMargins.left() + sheetMargins.right() +
                      margins.left() + margins.right() + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2;
    resize(width, std::min(sheet->sizeHint().height() + lblSummary->sizeHint().height() + 40, 760));
}

void TFKanaChart::AddKeys() {
    // Esc closes it as it closes a dialog; Ctrl+Home and Ctrl+End go to its start and end
    // wherever the focus is in it.
    const auto key = [this](QKeySequence sequence, auto action) {
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    key(QKeySequence(Qt::Key_Escape), [this] { close(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { scroll_->verticalScrollBar()->setValue(0); });
    key(QKeySequence(Qt::CTRL | Qt::Key_End),
        [this] { scroll_->verticalScrollBar()->setValue(scroll_->verticalScrollBar()->maximum()); });
}

void TFKanaChart::AddSection(QVBoxLayout* sheet, const QString& heading, const std::vector<std::vector<int>>& rows) {
    QLabel* title = MakeLabel(heading, font().pointSize() + 1, true);
    title->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    title->setContentsMargins(0, sheet->count() == 0 ? 0 : 10, 0, 2);
    sheet->addWidget(title);
    for (const std::vector<int>& cellsOfLine : rows) {
        auto* line = new QHBoxLayout;
        line->setSpacing(kSpacing);
        for (const int row : cellsOfLine) line->addWidget(MakeCell(row));
        line->addStretch();
        sheet->addLayout(line);
    }
}

QWidget* TFKanaChart::MakeCell(int rowNumber) {
    const SyllableRow& row = moratutor::SyllableTable()[static_cast<std::size_t>(rowNumber - 1)];
    auto* frame = new QFrame;
    frame->setObjectName(QStringLiteral("cellRow%1").arg(rowNumber));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    frame->setFixedWidth(Span(rowNumber) * (kCellWidth + kSpacing) - kSpacing);

    QString syllable = FromView(row.Syllable);
    syllable[0] = syllable[0].toUpper();
    auto* layout = new QGridLayout(frame);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setVerticalSpacing(0);
    CellWidgets& cell = cells_[static_cast<std::size_t>(rowNumber - 1)];
    cell.SyllableLabel = MakeLabel(syllable, font().pointSize(), true);
    cell.HiraganaLabel = MakeLabel(FromView(row.Hiragana), kKanaPointSize);
    cell.KatakanaLabel = MakeLabel(FromView(row.Katakana), kKanaPointSize);
    layout->addWidget(cell.SyllableLabel, 0, 0, 1, 2);
    layout->addWidget(cell.HiraganaLabel, 1, 0);
    layout->addWidget(cell.KatakanaLabel, 1, 1);
    cell.Frame = frame;
    cell.HiraganaCount = MakeLabel(QString(), font().pointSize() - 1);
    cell.KatakanaCount = MakeLabel(QString(), font().pointSize() - 1);
    layout->addWidget(cell.HiraganaCount, 2, 0);
    layout->addWidget(cell.KatakanaCount, 2, 1);

    QString tip = QStringLiteral("Группа «%1»").arg(FromView(moratutor::GroupCaption(moratutor::LearningGroup(row))));
    if (row.Syllable.size() > static_cast<std::size_t>(syllable.size())) tip += QStringLiteral(": частица «о» между пробелами");
    frame->setToolTip(tip);
    ShowHighlight(cell, false);
    return frame;
}

void TFKanaChart::ShowHighlight(CellWidgets& cell, bool on) {
    cell.Highlighted = on;
    // The same soft background as the highlighted kana, its texts readable on it.
    const moratutor::ui::Marking colours = on ? moratutor::ui::MarkingOn(palette()) : moratutor::ui::PlainOn(palette());
    QPalette cellPalette = cell.Frame->palette();
    cellPalette.setColor(QPalette::Window, colours.background);
    cellPalette.setColor(QPalette::WindowText, colours.text);
    cellPalette.setColor(QPalette::PlaceholderText, colours.muted);
    cell.Frame->setPalette(cellPalette);
}

void TFKanaChart::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A palette of the desktop's, changed from light to dark or back: the cells follow.
    if (event->type() == QEvent::PaletteChange)
        for (CellWidgets& cell : cells_)
            if (cell.Frame) ShowHighlight(cell, cell.Highlighted);
}

void TFKanaChart::SetOptions(const moratutor::OptionSet& options) {
    for (const SyllableRow& row : moratutor::SyllableTable()) {
        CellWidgets& cell = cells_[static_cast<std::size_t>(row.Row - 1)];
        if (cell.Frame) ShowHighlight(cell, moratutor::GuardHolds(row, options));
    }
}

void TFKanaChart::SetCounts(const moratutor::AnswerKey& key) {
    for (CellWidgets& cell : cells_) cell.Hiragana = cell.Katakana = 0;
    QSet<QString> different;
    int spaces = 0;
    // A book's key has a million entries and a few hundred kinds: what an entry writes
    // (its row, script and length) is looked at once per kind, not once per entry.
    enum Kind : std::uint8_t { kUnseen, kInCell, kWidenedSpace };
    std::vector<Kind> kinds(std::size_t{1} << 17, kUnseen);
    for (const moratutor::KeyEntry& entry : key) {
        CellWidgets& cell = cells_[static_cast<std::size_t>(entry.Row - 1)];
        ++(entry.Script == moratutor::kmKatakana ? cell.Katakana : cell.Hiragana);
        Kind& kind = kinds[(std::size_t{entry.Row} << 9) | (std::size_t{entry.Script == moratutor::kmKatakana} << 8) |
                           entry.Length];
        if (kind == kUnseen) {
            kind = moratutor::LearningGroup(entry.TableRow()) != 0 ? kInCell : kWidenedSpace;
            if (kind == kInCell) different.insert(FromView(entry.Kana()));
        }
        if (kind == kWidenedSpace) ++spaces;  // a widened space, which has no cell
    }
    const auto show = [](QLabel* label, int count) {
        label->setText(QString::number(count));
        label->setForegroundRole(count ? QPalette::WindowText : QPalette::PlaceholderText);
    };
    for (CellWidgets& cell : cells_) {
        if (!cell.Frame) continue;
        show(cell.HiraganaCount, cell.Hiragana);
        show(cell.KatakanaCount, cell.Katakana);
    }
    // The widened spaces are replacements too, but no cell counts them: said, so that the
    // cells' sum does not look wrong.
    const QString widened = spaces == 0 ? QString()
                                        : QStringLiteral(" (из них широких пробелов — %1; в ячейках они не считаются)")
                                              .arg(spaces);
    lblSummary->setText(QStringLiteral("Последнее преобразование: замен — %1%2, разных знаков каны — %3. "
                                       "Под каждым знаком — сколько раз он написан.")
                            .arg(key.size())
                            .arg(widened)
                            .arg(different.size()));
}

QWidget* TFKanaChart::Cell(int row) const {
    return row >= 1 && row <= static_cast<int>(cells_.size()) ? cells_[static_cast<std::size_t>(row - 1)].Frame : nullptr;
}

bool TFKanaChart::CellHighlighted(int row) const { return Cell(row) && cells_[static_cast<std::size_t>(row - 1)].Highlighted; }
int TFKanaChart::HiraganaCount(int row) const { return Cell(row) ? cells_[static_cast<std::size_t>(row - 1)].Hiragana : 0; }
int TFKanaChart::KatakanaCount(int row) const { return Cell(row) ? cells_[static_cast<std::size_t>(row - 1)].Katakana : 0; }
QString TFKanaChart::Summary() const { return lblSummary->text(); }

void TFKanaChart::hideEvent(QHideEvent* event) {
    // Its place is kept for the session only, never written to the preferences.
    lastGeometry_ = geometry();
    placed_ = true;
    QWidget::hideEvent(event);
}

void TFKanaChart::showEvent(QShowEvent* event) {
    if (placed_) setGeometry(lastGeometry_);
    QWidget::showEvent(event);
}

}  // namespace moratutor::ui

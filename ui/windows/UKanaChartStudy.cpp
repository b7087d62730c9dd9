// The kana chart's side of the learner's study: each kana shaded by how often it is still
// looked up, the ones to practise framed, the group to tick next, the counts' reset, and
// the kana said aloud when clicked.
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "KanaProgress.h"
#include "KanaSpeech.h"
#include "Speaker.h"
#include "UKanaChart.h"
#include "moratutor/SyllableTable.h"

namespace moratutor::ui {

namespace {

using moratutor::study::Mastery;

// From "still looked up" (red) through yellow to "known" (green) by hue, so that the middle
// is not a muddy brown; soft enough to leave the kana readable, and mixed into the window's
// own background so that a dark theme stays dark.
QColor ShadeFor(double knownShare) {
    return QColor::fromHsvF(static_cast<float>(knownShare * 120.0 / 360.0), 0.55f, 0.95f);
}
const QColor kPractiseFrame(0xC6, 0x28, 0x28);

QColor Mix(const QColor& a, const QColor& b, double share) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * share),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * share),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * share));
}

QString FromView(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).trimmed();
}

moratutor::KanaMode ScriptOfLabel(const QObject* label) {
    return label->property("katakana").toBool() ? moratutor::kmKatakana : moratutor::kmHiragana;
}

}  // namespace

QWidget* TFKanaChart::MakeStudyBar() {
    auto* bar = new QWidget;
    auto* layout = new QVBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    lblStudy = new QLabel(QStringLiteral("Знаки, которые вы ещё смотрите в подсказке, появятся здесь по мере чтения."));
    lblStudy->setObjectName(QStringLiteral("lblStudy"));
    lblStudy->setWordWrap(true);
    layout->addWidget(lblStudy);
    auto* line = new QHBoxLayout;
    lblSpeech = new QLabel;
    lblSpeech->setObjectName(QStringLiteral("lblSpeech"));
    lblSpeech->setWordWrap(true);
    btnResetCounts = new QPushButton(QStringLiteral("Сбросить счётчики каны"));
    btnResetCounts->setObjectName(QStringLiteral("btnResetCounts"));
    btnResetCounts->setToolTip(QStringLiteral("Забыть, какие знаки вы смотрели в подсказке и какие читали без неё"));
    connect(btnResetCounts, &QPushButton::clicked, this, &TFKanaChart::ResetCountsRequested);
    line->addWidget(lblSpeech, 1);
    line->addWidget(btnResetCounts);
    layout->addLayout(line);
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        CellWidgets& cell = cells_[i];
        if (!cell.Frame) continue;
        cell.KatakanaLabel->setProperty("katakana", true);
        for (QLabel* label : {cell.SyllableLabel, cell.HiraganaLabel, cell.KatakanaLabel}) {
            label->setProperty("row", static_cast<int>(i + 1));
            label->setContentsMargins(2, 2, 2, 2);  // room for the frame of a kana to practise
            label->installEventFilter(this);
        }
    }
    SetSpeaker(nullptr);
    return bar;
}

void TFKanaChart::SetSpeaker(moratutor::speech::Speaker* speaker) {
    speaker_ = speaker;
    const QString unavailable = speaker_ ? speaker_->Unavailable() : QStringLiteral("Произношение отключено.");
    const bool speaks = unavailable.isEmpty();
    lblSpeech->setText(speaks ? QStringLiteral("Щёлкните знак каны — он прозвучит по-японски, русский слог — по-русски.")
                              : QStringLiteral("Произношение недоступно."));
    lblSpeech->setEnabled(speaks);
    lblSpeech->setToolTip(unavailable);
    for (const CellWidgets& cell : cells_)
        if (cell.Frame)
            for (QLabel* label : {cell.SyllableLabel, cell.HiraganaLabel, cell.KatakanaLabel})
                label->setCursor(speaks ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

bool TFKanaChart::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && watched->property("practise").toBool()) {
        // The label paints itself, then the frame goes round it.
        static_cast<QObject*>(watched)->event(event);
        auto* label = static_cast<QWidget*>(watched);
        QPainter painter(label);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(kPractiseFrame, 2));
        painter.drawRoundedRect(QRectF(label->rect()).adjusted(1, 1, -1, -1), 3, 3);
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease && watched->property("row").isValid() &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Speak(watched);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TFKanaChart::Speak(QObject* label) const {
    if (!speaker_ || !speaker_->Available()) return;
    const int row = label->property("row").toInt();
    const CellWidgets& cell = cells_[static_cast<std::size_t>(row - 1)];
    const std::optional<moratutor::speech::Utterance> utterance =
        label == cell.SyllableLabel ? moratutor::speech::SyllableUtterance(row)
                                    : moratutor::speech::KanaUtterance(row, ScriptOfLabel(label));
    if (utterance) speaker_->Say(*utterance);
}

void TFKanaChart::ShowKanaStudy(QLabel* label, const moratutor::study::KanaCounts& counts, int row,
                                moratutor::KanaMode script) {
    const moratutor::study::Tally tally = counts.Of(row, script);
    const Mastery mastery = moratutor::study::MasteryOf(tally);
    const QColor base = palette().color(QPalette::Base);
    const QColor shade = mastery == Mastery::NotEnough
                             ? QColor()
                             : Mix(base, ShadeFor(moratutor::study::KnownShare(tally)), 0.8);
    const bool practise = mastery == Mastery::StillLookedUp;
    CellWidgets& cell = cells_[static_cast<std::size_t>(row - 1)];
    (script == moratutor::kmKatakana ? cell.KatakanaShade : cell.HiraganaShade) = shade;
    (script == moratutor::kmKatakana ? cell.KatakanaPractise : cell.HiraganaPractise) = practise;
    // Palette and a frame drawn over the label rather than a style sheet: 240 labels with
    // style sheets of their own would cost start-up time and memory.
    QPalette colours = label->palette();
    if (shade.isValid()) colours.setColor(QPalette::Window, shade);
    label->setPalette(colours);
    label->setAutoFillBackground(shade.isValid());
    if (label->property("practise").toBool() != practise) {
        label->setProperty("practise", practise);
        label->update();
    }
    label->setToolTip(tally.Met() ? QStringLiteral("%1: смотрели в подсказке — %2, прочитан без подсказки — %3%4")
                                        .arg(label->text().trimmed())
                                        .arg(tally.LookedUp)
                                        .arg(tally.Seen)
                                        .arg(practise ? QStringLiteral(". Стоит повторить") : QString())
                                  : QStringLiteral("%1: ещё не встречался в чтении").arg(label->text().trimmed()));
}

void TFKanaChart::ShowStudy(const moratutor::study::KanaCounts& counts, const moratutor::OptionSet& options) {
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const CellWidgets& cell = cells_[i];
        if (!cell.Frame || moratutor::study::KanaIndex(static_cast<int>(i + 1), moratutor::kmHiragana) < 0) continue;
        ShowKanaStudy(cell.HiraganaLabel, counts, static_cast<int>(i + 1), moratutor::kmHiragana);
        ShowKanaStudy(cell.KatakanaLabel, counts, static_cast<int>(i + 1), moratutor::kmKatakana);
    }
    const moratutor::study::TickedProgress ticked = moratutor::study::ProgressOfTicked(counts, options);
    QString text = QStringLiteral("Слогов отмеченных групп — %1, выучено — %2, повторить — %3 (знаки в красной рамке). "
                                  "Цвет знака — от красного «ещё смотрю» до зелёного «знаю».")
                       .arg(ticked.Rows)
                       .arg(ticked.Known)
                       .arg(ticked.ToPractise);
    if (const int group = moratutor::study::SuggestGroup(counts, options))
        text += QStringLiteral(" Отмеченные группы выучены: пора отметить «%1».").arg(FromView(moratutor::GroupCaption(group)));
    const QString problem = lblStudy->property("problem").toString();
    lblStudy->setText(problem.isEmpty() ? text : problem + QLatin1Char(' ') + text);
}

void TFKanaChart::SetStudyProblem(const QString& problem) {
    lblStudy->setProperty("problem", problem);
    lblStudy->setStyleSheet(problem.isEmpty() ? QString() : QStringLiteral("QLabel { color: #C62828; }"));
    if (!problem.isEmpty()) lblStudy->setText(problem);
}

QString TFKanaChart::StudySummary() const { return lblStudy->text(); }
QWidget* TFKanaChart::SpeechNote() const { return lblSpeech; }

QColor TFKanaChart::KanaShade(int row, moratutor::KanaMode script) const {
    if (!Cell(row)) return {};
    const CellWidgets& cell = cells_[static_cast<std::size_t>(row - 1)];
    return script == moratutor::kmKatakana ? cell.KatakanaShade : cell.HiraganaShade;
}

bool TFKanaChart::MarkedToPractise(int row, moratutor::KanaMode script) const {
    if (!Cell(row)) return false;
    const CellWidgets& cell = cells_[static_cast<std::size_t>(row - 1)];
    return script == moratutor::kmKatakana ? cell.KatakanaPractise : cell.HiraganaPractise;
}

QWidget* TFKanaChart::KanaLabel(int row, moratutor::KanaMode script) const {
    if (!Cell(row)) return nullptr;
    const CellWidgets& cell = cells_[static_cast<std::size_t>(row - 1)];
    return script == moratutor::kmKatakana ? cell.KatakanaLabel : cell.HiraganaLabel;
}

}  // namespace moratutor::ui

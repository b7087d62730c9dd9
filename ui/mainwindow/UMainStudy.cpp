// The main window's side of the learner's study: the voice that says the kana at the caret
// (or under the tool tip) and the syllable it replaced, the key that shows a kana's tool
// tip, and the kana counts kept in their file beside the preferences.
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHelpEvent>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>
#include <QToolTip>

#include "AnswerKeyPane.h"
#include "KanaSpeech.h"
#include "LearnerStudy.h"
#include "MessageBoxes.h"
#include "UKanaChart.h"
#include "UMain.h"

namespace moratutor::ui {

namespace {

std::function<bool(const QString&)>& ResetQuestionOverride() {
    static std::function<bool(const QString&)> answer;
    return answer;
}

}  // namespace

void TFMain::SetResetQuestionOverride(std::function<bool(const QString& question)> answer) {
    ResetQuestionOverride() = std::move(answer);
}

void TFMain::CreateStudy() {
    Study = new LearnerStudy(this);
    ConvertedTextKey->SetStudyCounts(&Study->Counts);
    KanaChart->SetSpeaker(Study->Voice.get());
    // The chart follows the look-ups while it is open; sightings it shows when opened.
    connect(ConvertedTextKey, &AnswerKeyPane::KanaLookedUp, this, [this] {
        if (KanaChart->isVisible()) ShowStudyInKanaChart();
    });
    connect(KanaChart, &TFKanaChart::ResetCountsRequested, this, [this] { RunGuarded([this] { ResetKanaCounts(); }); });
    for (QMenu* menu : {menuEdit}) menu->installEventFilter(this);
}

void TFMain::LoadStudy() {
    Study->File = std::make_unique<moratutor::study::KanaCountsFile>(KanaCountsPath(PreferencesPath));
    Study->Counts = Study->File->Load();
    KanaChart->SetStudyProblem(Study->File->Problem());
    ShowStudyInKanaChart();
    // No voice: the speaking items are grey and say why.
    const QString unavailable = Study->Voice->Unavailable();
    for (QAction* say : {actSayKana, actSaySyllable}) {
        say->setEnabled(unavailable.isEmpty());
        say->setToolTip(unavailable.isEmpty() ? say->text() : unavailable);
    }
}

void TFMain::SaveStudy() {
    if (!Study || !Study->File) return;
    ConvertedTextKey->CountPageOnView();
    // A damaged file stays as it is (the chart said so); a failed save is told, the
    // program closes all the same.
    if (!Study->File->Save(Study->Counts) && !Study->File->Problem().isEmpty() &&
        Study->File->FileState() != moratutor::study::KanaCountsFile::State::Damaged)
        ShowErrorBox(Study->File->Problem());
}

void TFMain::ShowStudyInKanaChart() {
    if (Study) KanaChart->ShowStudy(Study->Counts, CurrentOptions());
}

void TFMain::ResetKanaCounts() {
    const bool damaged = Study->File->FileState() == moratutor::study::KanaCountsFile::State::Damaged;
    const QString question =
        QStringLiteral("Сбросить счётчики каны? Программа забудет, какие знаки вы смотрели в подсказке и какие читали без "
                       "неё.%1")
            .arg(damaged ? QStringLiteral(" Повреждённый файл «%1» будет заменён.").arg(Study->File->Path()) : QString());
    const bool yes = ResetQuestionOverride()
                         ? ResetQuestionOverride()(question)
                         : QMessageBox::question(KanaChart, ApplicationTitle(), question) == QMessageBox::Yes;
    if (!yes) return;
    Study->Counts.Reset();
    if (!Study->File->Save(Study->Counts, true)) ShowErrorBox(Study->File->Problem());
    KanaChart->SetStudyProblem(Study->File->Problem());
    ShowStudyInKanaChart();
}

namespace {

// The kana the speaking keys are about: the one whose tool tip is up, else the one at the
// converted pane's caret.
std::optional<moratutor::KeyEntry> SpokenEntry(const AnswerKeyPane& key) {
    if (std::optional<moratutor::KeyEntry> tipped = key.EntryOfToolTip()) return tipped;
    return key.EntryAtCaret();
}

}  // namespace

void TFMain::actSayKanaExecute() {
    const std::optional<moratutor::KeyEntry> entry = SpokenEntry(*ConvertedTextKey);
    const std::optional<moratutor::speech::Utterance> utterance = entry ? moratutor::speech::KanaUtterance(*entry) : std::nullopt;
    if (utterance) Study->Voice->Say(*utterance);
    else QApplication::beep();
}

void TFMain::actSaySyllableExecute() {
    const std::optional<moratutor::KeyEntry> entry = SpokenEntry(*ConvertedTextKey);
    const std::optional<moratutor::speech::Utterance> utterance =
        entry ? moratutor::speech::SyllableUtterance(*entry) : std::nullopt;
    if (utterance) Study->Voice->Say(*utterance);
    else QApplication::beep();
}

bool TFMain::ShowGreyedItemTip(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip || watched != menuEdit) return false;
    auto* help = static_cast<QHelpEvent*>(event);
    const QAction* action = menuEdit->actionAt(help->pos());
    if (action != actSayKana && action != actSaySyllable) return false;
    if (action->isEnabled()) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(help->globalPos(), action->toolTip(), menuEdit);
    return true;
}

}  // namespace moratutor::ui

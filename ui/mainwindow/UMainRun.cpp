// The conversion run: from the replace command to the closing report.
#include "UMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>

#include <algorithm>

#include "moratutor/converted/ConvertedFormats.h"
#include "MessageBoxes.h"
#include "PaneDocument.h"
#include "PaneText.h"

namespace moratutor::ui {

using moratutor::KanaMode;

void TFMain::actReplaceWithHiraganaExecute() { ReplaceActionExecute(moratutor::kmHiragana); }
void TFMain::actReplaceWithKatakanaExecute() { ReplaceActionExecute(moratutor::kmKatakana); }
void TFMain::actReplaceWithRandomKanaExecute() { ReplaceActionExecute(moratutor::kmRandomKana); }

moratutor::OptionSet TFMain::CurrentOptions() const {
    moratutor::OptionSet options;
    for (std::size_t i = 0; i < chkbxCharacters.size(); ++i) options.Characters[i] = chkbxCharacters[i]->isChecked();
    options.ReplaceE = chkbxReplaceE->isChecked();
    options.ReplaceSpaces = chkbxReplaceSpaces->isChecked();
    return options;
}

std::int32_t TFMain::GetProgressLength() const { return moratutor::GetProgressLength(CurrentOptions()); }

void TFMain::DisableAllControls() { SetRunControlsEnabled(false); }

void TFMain::EnableAllControls() { SetRunControlsEnabled(true); }

void TFMain::SetRunControlsEnabled(bool enabled) {
    // In the order the run locks and unlocks them; the change is painted at once.
    for (QWidget* m : std::initializer_list<QWidget*>{menuFile, menuEdit, menuHelp, ToolBar}) m->setEnabled(enabled);
    for (QCheckBox* box : chkbxCharacters) box->setEnabled(enabled);
    for (QWidget* c : std::initializer_list<QWidget*>{chkbxSnowball, chkbxReplaceE, chkbxReplaceSpaces, richSourceText,
                                                      richConvertedText, spdbtnReplaceWithHiragana,
                                                      spdbtnReplaceWithKatakana})
        c->setEnabled(enabled);
    QCoreApplication::processEvents();
}

std::u16string TFMain::SourceTextUnicode() const {
    return moratutor::ui::DocumentText(*richSourceText->document());
}

void TFMain::SetConvertedText(const std::u16string& text) { SetConvertedText(text, moratutor::converted::SourceFormats()); }

void TFMain::SetConvertedText(const std::u16string& text, const moratutor::converted::SourceFormats& formats) {
    // A fresh document, built aside: no character format of earlier content or of the caret
    // survives, and the pane lays out only what it shows.
    // The document copies the text in; a second copy of a book alongside would only raise
    // the program's peak.
    const QString converted = QString::fromRawData(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size()));
    const bool plain = formats.Plain();
    auto built = moratutor::ui::BuildDocumentAside(
        *richConvertedText, {this, nullptr, nullptr}, [&converted, &text, &formats, plain](QTextDocument& document) {
            if (plain)
                document.setPlainText(converted);
            else
                moratutor::converted::FillFormatted(document, text, formats);
        });
    // Installing puts the caret at the start; the caret's format is the pane's default.
    moratutor::ui::InstallDocument(*richConvertedText, std::move(built));
    richConvertedText->setCurrentCharFormat(QTextCharFormat());
}

void TFMain::ShowProgressText(const std::u16string& text) {
    // The engine calls this at every percent of every syllable: thousands of times for a
    // book, and each immediate repaint waits on the display server. A step's first text
    // is painted at once, the rest no oftener than a screen refreshes; a text held back
    // is painted by the next immediate repaint, the bar's or the step's message pump.
    lblProgress->setText(QString::fromStdU16String(text));
    constexpr qint64 kScreenFrameMs = 16;
    if (StepTextPainted && LabelRepaintClock.isValid() && LabelRepaintClock.elapsed() < kScreenFrameMs) return;
    lblProgress->repaint();
    StepTextPainted = true;
    LabelRepaintClock.start();
}

void TFMain::StepProgress() {
    ProgressBar->setValue(ProgressBar->value() + 1);
    StepTextPainted = false;
}

void TFMain::PumpMessages() { QCoreApplication::processEvents(); }

void TFMain::ReplaceActionExecute(KanaMode mode) {
    if (Running) return;  // a second run never starts inside the first one
    if (std::none_of(chkbxCharacters.begin(), chkbxCharacters.end(), [](QCheckBox* box) { return box->isChecked(); })) {
        moratutor::ui::ShowMessageBox(
            this, QMessageBox::Warning,
            QStringLiteral("Перед преобразованием выберите хотя бы одну группу слогов для замены."));
        return;
    }

    Running = true;
    const auto finish = [this] {
        Running = false;
        EnableAllControls();
        if (richConvertedText->isEnabled()) richConvertedText->setFocus(Qt::OtherFocusReason);
        ScheduleUpdateActions();
        if (CloseRequestedDuringRun) {
            CloseRequestedDuringRun = false;
            close();
        }
    };
    try {
        DisableAllControls();

        ProgressBar->setMinimum(0);
        const std::int32_t steps = GetProgressLength();
        // A range of 0..0 would show the busy animation: with no steps the bar runs 0..1
        // and is filled after the pass, so it ends full like after any other run.
        ProgressBar->setMaximum(std::max(steps, 1));
        ProgressBar->setValue(0);

        ReplacementCount = 0;
        CurrentKanaMode = mode;
        std::u16string text = SourceTextUnicode();
        // Taken before the pass makes its key, the formats do not keep the key's memory from
        // going back when the key is compacted; the source pane is locked for the run.
        moratutor::converted::SourceFormats formats = moratutor::converted::TakeFormats(*richSourceText->document());

        moratutor::StepEnvironment env;
        env.SnowballMode = chkbxSnowball->isChecked();
        env.CurrentKanaMode = CurrentKanaMode;
        env.ReplacementCount = &ReplacementCount;
        env.RandomBelow = [](std::uint32_t n) { return moratutor::RandomBelow(n); };
        env.ShowProgressText = [this](const std::u16string& t) { ShowProgressText(t); };
        env.StepProgress = [this] { StepProgress(); };
        env.PumpMessages = [this] { PumpMessages(); };
        moratutor::AnswerKey key;
        StepTextPainted = false;
        moratutor::ReplaceWithKanaUnicode(env, CurrentOptions(), text, key);
        if (steps == 0) ProgressBar->setValue(ProgressBar->maximum());

        lblProgress->setText(QStringLiteral("Загрузка…"));
        QCoreApplication::processEvents();
        ShowConversion(std::move(key), text, std::move(formats));
        lblProgress->setText(QString());

        moratutor::ui::ShowMessageBox(
            this, QMessageBox::Information,
            QStringLiteral("Преобразование текста завершено. Произведено замен: %1.").arg(ReplacementCount));
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

}  // namespace moratutor::ui

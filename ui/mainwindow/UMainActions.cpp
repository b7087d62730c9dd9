// The main window's idle rules, the edit actions, word wrap, group selection, Quit, About.
#include "UMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QTextEdit>
#include <QThread>
#include <QTimer>

#include "MessageBoxes.h"
#include "PaneDocument.h"
#include "UAbout.h"

namespace moratutor::ui {

void TFMain::ScheduleUpdateActions() {
    // One run of the rules per burst of changes: the zero timer fires once the queue is empty.
    if (IdleTimer && !IdleTimer->isActive()) IdleTimer->start();
}

QTextEdit* TFMain::FocusedPane() const {
    QTextEdit* pane = LastFocusedPane.data();
    if (!pane || !pane->isEnabled()) return nullptr;
    return pane;
}

void TFMain::FocusChanged(QWidget*, QWidget* now) {
    if (now == richSourceText || now == richConvertedText) {
        LastFocusedPane = static_cast<QTextEdit*>(now);
        GetWordWrapState(LastFocusedPane);
    } else if (now && now->window() == this && !qobject_cast<QMenuBar*>(now)) {
        // Another control of this window took the focus. The menu bar (reached by Alt),
        // a popup menu or a dialog leaves the pane as the one the edit actions act on.
        LastFocusedPane = nullptr;
    }
    ScheduleUpdateActions();
}

void TFMain::UpdateActions() {
    // A run keeps its controls disabled until it ends; it asks for the rules again then.
    if (Running) return;

    // Edit actions follow the focused pane.
    QTextEdit* pane = FocusedPane();
    const bool hasSelection = pane && pane->textCursor().hasSelection();
    EditUndo->setEnabled(pane && pane->document()->isUndoAvailable());
    EditCut->setEnabled(hasSelection);
    EditCopy->setEnabled(hasSelection);
    EditDelete->setEnabled(hasSelection);
    // By the clipboard's formats: the pane's own canPaste() has the whole text sent over to
    // see that it is not empty, a book's worth each time these rules run.
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    EditPaste->setEnabled(pane && !pane->isReadOnly() && clipboard && (clipboard->hasText() || clipboard->hasHtml()));
    EditSelectAll->setEnabled(pane && !pane->document()->isEmpty());

    const auto ticked = [this](int n) { return chkbxCharacters[static_cast<std::size_t>(n - 1)]->isChecked(); };
    QCheckBox* voiced = chkbxCharacters[9];
    if (ticked(2) || ticked(3) || ticked(4) || ticked(6)) {
        voiced->setEnabled(true);
    } else {
        voiced->setEnabled(false);
        voiced->setChecked(false);
    }
    QCheckBox* yoon = chkbxCharacters[10];
    if (ticked(2) || ticked(3) || ticked(4) || ticked(5) || ticked(6) || ticked(7) || ticked(8)) {
        yoon->setEnabled(true);
    } else {
        yoon->setEnabled(false);
        yoon->setChecked(false);
    }

    const bool hasSource = !richSourceText->document()->isEmpty();
    actReplaceWithHiragana->setEnabled(hasSource);
    actReplaceWithKatakana->setEnabled(hasSource);
    actReplaceWithRandomKana->setEnabled(hasSource);
    // Whatever leaves the window needs converted text.
    const bool hasConverted = !richConvertedText->document()->isEmpty();
    for (QAction* output : {actSaveTextToFile, actPrint, actExportPdf}) output->setEnabled(hasConverted);

    // The buttons follow their actions again after a run enabled them all.
    spdbtnReplaceWithHiragana->setEnabled(actReplaceWithHiragana->isEnabled());
    spdbtnReplaceWithKatakana->setEnabled(actReplaceWithKatakana->isEnabled());
}

void TFMain::RunEditAction(void (*operation)(QTextEdit*)) {
    moratutor::ui::RunGuarded([this, operation] {
        if (QTextEdit* pane = FocusedPane()) {
            // An edit may handle a book's worth of text (an undo, a paste, a long selection).
            const moratutor::ui::BusyCursor busy;
            operation(pane);
        }
        ScheduleUpdateActions();
    });
}

void TFMain::EditUndoExecute() { RunEditAction([](QTextEdit* p) { p->undo(); }); }
void TFMain::EditCutExecute() { RunEditAction([](QTextEdit* p) { p->cut(); }); }
void TFMain::EditCopyExecute() { RunEditAction([](QTextEdit* p) { p->copy(); }); }
void TFMain::EditPasteExecute() {
    if (FocusedPane() == richSourceText) {
        RunEditAction([](QTextEdit* p) { moratutor::ui::PasteIntoPane(*p); });
        return;
    }
    RunEditAction([](QTextEdit* p) { p->paste(); });
}
void TFMain::EditDeleteExecute() {
    RunEditAction([](QTextEdit* p) {
        QTextCursor cursor = p->textCursor();
        cursor.removeSelectedText();
        p->setTextCursor(cursor);
    });
}
void TFMain::EditSelectAllExecute() { RunEditAction([](QTextEdit* p) { p->selectAll(); }); }

void TFMain::ShowPanePopupMenu(QTextEdit* pane, const QPoint& pos) {
    if (!pane->isEnabled()) return;
    pane->setFocus(Qt::PopupFocusReason);
    LastFocusedPane = pane;
    GetWordWrapState(pane);
    moratutor::ui::RunGuarded([this] { UpdateActions(); });
    PopupMenu->exec(pane->viewport()->mapToGlobal(pos));
}

void TFMain::GetWordWrapState(QTextEdit* sender) {
    if (!sender) return;
    actWordWrapChange->setChecked(sender->lineWrapMode() != QTextEdit::NoWrap);
}

void TFMain::actWordWrapChangeExecute() {
    QTextEdit* pane = FocusedPane();
    if (!pane) {
        // The item toggled its own check mark; nothing changed, so put it back.
        actWordWrapChange->setChecked(!actWordWrapChange->isChecked());
        return;
    }
    const bool wrapped = pane->lineWrapMode() != QTextEdit::NoWrap;
    pane->setLineWrapMode(wrapped ? QTextEdit::NoWrap : QTextEdit::WidgetWidth);
    GetWordWrapState(pane);
}

void TFMain::actSelectAllCharactersExecute() {
    for (QCheckBox* box : chkbxCharacters) box->setChecked(true);
}

void TFMain::actDeselectAllCharactersExecute() {
    for (QCheckBox* box : chkbxCharacters) box->setChecked(false);
}

void TFMain::actQuitExecute() {
    // Ends the loop the program runs in; with no loop running (a window driven by a test)
    // closing is all there is to do.
    if (close() && QThread::currentThread()->loopLevel() > 0) QCoreApplication::quit();
}

void TFMain::actAboutExecute() { moratutor::about::ShowAbout(); }

}  // namespace moratutor::ui

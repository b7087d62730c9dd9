// Filling a pane with a whole book. A document that the pane shows is laid out, signalled
// and recorded for undo at every paragraph inserted; one built aside (on a worker thread,
// with no layout and no undo history) costs a fraction of that and is put in at once.
#pragma once

#include <QString>
#include <QTextDocument>

#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QTextEdit;
class QWidget;

namespace moratutor::ui {

// What a long wait shows of the window: its busy cursor at once, the progress label and a
// busy bar once the wait passes half a second.
struct WaitDisplay {
    QWidget* window = nullptr;
    QLabel* label = nullptr;
    QProgressBar* bar = nullptr;
};

// Where a pane shows how far a long wait of its own has gone (see ProgressDisplay).
void SetWaitDisplay(QTextEdit& pane, const WaitDisplay& wait);
WaitDisplay WaitDisplayOf(const QTextEdit& pane);

// For as long as it lives, "Загрузка…" and a bar that Step fills, both painted at once (the
// wait does not let the event loop run); label and bar are given back as they were.
class ProgressDisplay {
public:
    explicit ProgressDisplay(const WaitDisplay& wait);
    ~ProgressDisplay();
    void Step(int done, int total);
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

private:
    WaitDisplay wait_;
    QString labelText_;
    int barMinimum_ = 0, barMaximum_ = 0, barValue_ = 0;
};

// The busy cursor for as long as it lives, shown on the screen before the wait begins
// (by letting the events other than input through, unless `showAtOnce` is false).
class BusyCursor {
public:
    explicit BusyCursor(bool showAtOnce = true);
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Watches a pane for the long waits of a book: a key that may handle much of the text (a
// paste, an undo, the deletion or copy of a long selection, selecting all of a long text)
// shows the busy cursor. The pane's document gets the layout that makes lines only for
// what is shown (PaneLayout.h); a very tall rich text left to Qt's own layout is laid out
// whole when the pane changes size (see the source file).
// With `pasteAside`, a paste by key goes through PasteIntoPane.
void GuardPane(QTextEdit& pane, bool pasteAside = false);

// Pastes the clipboard into the pane as its paste command does: one undo step, the same
// text and formatting, the caret after it and in view. Under Qt's own layout (a rich text),
// a paste into a pane holding little text is inserted with the layout set aside and the
// text laid out afresh after; that is not for a pane whose document's layout or changes
// others follow (the answer key's).
void PasteIntoPane(QTextEdit& pane);

// Builds a document like the pane's own (same default font and text options) and fills it
// with `fill` on a worker thread, without undo history. The window goes on painting
// meanwhile; the user's input to it is dropped (a close request is kept for later).
// An exception of `fill` comes out here.
std::unique_ptr<QTextDocument> BuildDocumentAside(const QTextEdit& pane, const WaitDisplay& wait,
                                                  const std::function<void(QTextDocument&)>& fill);

// Puts `document` in place of the pane's content: undo history starts afresh, the caret
// is at the start with the pane's default character format, and the pane's extra
// selections (of the old document) are gone. A very tall text is laid out
// whole at once (a few seconds under the busy cursor) rather than in background steps.
void InstallDocument(QTextEdit& pane, std::unique_ptr<QTextDocument> document);

}  // namespace moratutor::ui

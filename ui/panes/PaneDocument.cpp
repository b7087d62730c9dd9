#include "PaneDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <optional>
#include <exception>

#include "HeapUse.h"
#include "moratutor/books/HtmlReader.h"
#include "HugeParagraphCaret.h"
#include "PaneAccessibility.h"
#include "PaneLayout.h"
#include "WindowTrace.h"

namespace moratutor::ui {

void SetWaitDisplay(QTextEdit& pane, const WaitDisplay& wait) {
    pane.setProperty("moratutorWaitWindow", QVariant::fromValue<QObject*>(wait.window));
    pane.setProperty("moratutorWaitLabel", QVariant::fromValue<QObject*>(wait.label));
    pane.setProperty("moratutorWaitBar", QVariant::fromValue<QObject*>(wait.bar));
}

WaitDisplay WaitDisplayOf(const QTextEdit& pane) {
    const auto get = [&pane](const char* name) { return pane.property(name).value<QObject*>(); };
    return {qobject_cast<QWidget*>(get("moratutorWaitWindow")), qobject_cast<QLabel*>(get("moratutorWaitLabel")),
            qobject_cast<QProgressBar*>(get("moratutorWaitBar"))};
}

ProgressDisplay::ProgressDisplay(const WaitDisplay& wait) : wait_(wait) {
    if (wait_.label) {
        labelText_ = wait_.label->text();
        wait_.label->setText(QStringLiteral("Загрузка…"));
        wait_.label->repaint();
    }
    if (wait_.bar) {
        barMinimum_ = wait_.bar->minimum();
        barMaximum_ = wait_.bar->maximum();
        barValue_ = wait_.bar->value();
    }
}

ProgressDisplay::~ProgressDisplay() {
    if (wait_.label) wait_.label->setText(labelText_);
    if (wait_.bar) {
        wait_.bar->setRange(barMinimum_, barMaximum_);
        wait_.bar->setValue(barValue_);
    }
}

void ProgressDisplay::Step(int done, int total) {
    if (!wait_.bar) return;
    wait_.bar->setRange(0, std::max(total, 1));
    wait_.bar->setValue(done);
    wait_.bar->repaint();
}

BusyCursor::BusyCursor(bool showAtOnce) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    TraceNote("busy 1");
    // The cursor reaches the screen before the wait, not after it.
    if (showAtOnce) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

BusyCursor::~BusyCursor() {
    QGuiApplication::restoreOverrideCursor();
    TraceNote("busy 0");
}

namespace {

// A pane holding less than this is laid out afresh, or edited, in a few milliseconds.
constexpr int kSmallText = 20'000;

// While a document is built the window paints but takes no input: a click or key would
// otherwise wait in the queue and act on a window that has changed under it. Closing the
// window is not lost, only put off until the document is in place.
class InputHold : public QObject {
public:
    explicit InputHold(QWidget* window) : window_(window) { QCoreApplication::instance()->installEventFilter(this); }
    ~InputHold() override {
        QCoreApplication::instance()->removeEventFilter(this);
        if (closeRequested_ && window_) QMetaObject::invokeMethod(window_, &QWidget::close, Qt::QueuedConnection);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::Wheel:
            case QEvent::ContextMenu:
            case QEvent::InputMethod:
                return true;
            case QEvent::Close:
                if (watched == window_) {
                    closeRequested_ = true;
                    event->ignore();
                    return true;
                }
                return false;
            default:
                return false;
        }
    }

private:
    QPointer<QWidget> window_;
    bool closeRequested_ = false;
};

// The busy cursor at once; after half a second the label and a moving bar as well (how long
// it takes is not known), given back as they were.
class BusyDisplay {
public:
    explicit BusyDisplay(const WaitDisplay& wait) : wait_(wait) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            shown_.emplace(wait_);
            if (wait_.bar) wait_.bar->setRange(0, 0);
        });
        timer_.start(500);
    }
    BusyDisplay(const BusyDisplay&) = delete;
    BusyDisplay& operator=(const BusyDisplay&) = delete;

private:
    BusyCursor cursor_;
    WaitDisplay wait_;
    QTimer timer_;
    std::optional<ProgressDisplay> shown_;
};

// Qt's text layout, when it lays out a document in its background steps, stops for good
// once the text grows taller than 2^23 pixels; laid out in one call it gets through. A
// text that may come near that height is therefore laid out whole, at once, whenever the
// pane has to lay it out afresh: when it is put in and when the pane changes its size.
constexpr qreal kTallTextHeight = 1 << 22;

bool MayBeTall(const QTextEdit& pane) {
    const QTextDocument* document = pane.document();
    const QFontMetricsF metrics(document->defaultFont());
    const qreal width = std::max(1, pane.viewport()->width());
    const qreal lines = document->blockCount() + document->characterCount() * metrics.averageCharWidth() / width;
    return lines * metrics.lineSpacing() >= kTallTextHeight;
}

void LayOutTallTextWhole(QTextEdit& pane) {
    // Only Qt's own layout (a rich text) has the limit; ours lays out what is shown.
    if (dynamic_cast<PaneLayout*>(pane.document()->documentLayout()) || !MayBeTall(pane)) return;
    const BusyCursor busy;
    pane.document()->documentLayout()->documentSize();
}

class TallTextGuard : public QObject {
public:
    explicit TallTextGuard(QTextEdit& pane) : QObject(&pane), pane_(pane) { pane.viewport()->installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        // Ahead of the layout's own first background step.
        if (event->type() == QEvent::Resize)
            QTimer::singleShot(0, this, [this] { LayOutTallTextWhole(pane_); });
        return false;
    }

private:
    QTextEdit& pane_;
};

// Stands in for the pane's layout while a large paste is inserted: Qt would otherwise lay
// out the pasted range paragraph by paragraph as it goes in.
class LayoutAside : public QAbstractTextDocumentLayout {
public:
    using QAbstractTextDocumentLayout::QAbstractTextDocumentLayout;
    void draw(QPainter*, const PaintContext&) override {}
    int hitTest(const QPointF&, Qt::HitTestAccuracy) const override { return -1; }
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override { return {}; }
    QRectF frameBoundingRect(QTextFrame*) const override { return {}; }
    QRectF blockBoundingRect(const QTextBlock&) const override { return {}; }

protected:
    void documentChanged(int, int, int) override {}
};


// A key that handles a book's worth of text (a paste, an undo, the deletion or overtyping
// of a long selection, or copying it, which selecting all does too for the desktop's
// selection) takes a good part of a second. What a paste costs is not known before the
// clipboard's owner has sent the text, nor an undo's before it runs, so such keys show the
// busy cursor while the pane handles them.
bool MayTakeLong(const QTextEdit& pane, const QKeyEvent& key) {
    if (key.matches(QKeySequence::Paste) || key.matches(QKeySequence::Undo) || key.matches(QKeySequence::Redo)) return true;
    if (key.matches(QKeySequence::SelectAll)) return pane.document()->characterCount() >= kSmallText;
    const QTextCursor cursor = pane.textCursor();
    if (cursor.selectionEnd() - cursor.selectionStart() < kSmallText) return false;
    return key.matches(QKeySequence::Cut) || key.matches(QKeySequence::Copy) || key.key() == Qt::Key_Delete ||
           key.key() == Qt::Key_Backspace || !key.text().isEmpty();
}

class LongKeyBusyCursor : public QObject {
public:
    explicit LongKeyBusyCursor(QTextEdit& pane) : QObject(&pane) { pane.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The pane is not asked what it is before a key: while it is being destroyed, events
        // still come this way from its base classes.
        if (event->type() != QEvent::KeyPress) return false;
        auto& pane = *static_cast<QTextEdit*>(watched);
        const auto& key = *static_cast<QKeyEvent*>(event);
        if (!MayTakeLong(pane, key) || (pane.isReadOnly() && !key.matches(QKeySequence::SelectAll) && !key.matches(QKeySequence::Copy)))
            return false;
        // Given back once the pane has handled the key.
        auto busy = std::make_shared<BusyCursor>();
        QTimer::singleShot(0, this, [busy] {});
        if (!pasteAside_ || !key.matches(QKeySequence::Paste)) return false;
        PasteIntoPane(pane);
        return true;
    }

public:
    bool pasteAside_ = false;
};

}  // namespace

void GuardPane(QTextEdit& pane, bool pasteAside) {
    GuardPaneAccessibility(pane);  // first: the changes below may have an interface made
    // Pasted HTML names files and URLs too: the pane's document reads none of them.
    QTextDocument* const made = pane.document();
    auto* sealed = new books::SealedDocument(&pane);
    sealed->setDefaultFont(made->defaultFont());
    sealed->setDefaultTextOption(made->defaultTextOption());
    pane.setDocument(sealed);
    PaneLayout::Install(*pane.document(), pane);
    new TallTextGuard(pane);
    (new LongKeyBusyCursor(pane))->pasteAside_ = pasteAside;
    GuardHugeParagraphCaret(pane);
}

void PasteIntoPane(QTextEdit& pane) {
    // How much is pasted is not known before the clipboard's owner sends it (asking twice
    // would send it twice): the layout is set aside whenever it is cheap to make again.
    QTextDocument* const document = pane.document();
    if (dynamic_cast<PaneLayout*>(document->documentLayout())) {
        // Lays out only what the pane shows: nothing to set aside.
        pane.paste();
        pane.ensureCursorVisible();
        ReturnFreedMemory();
        return;
    }
    if (document->characterCount() >= kSmallText) {
        pane.paste();
        return;
    }
    // Replacing the layout drops the old one's work; a fresh default layout lays the text
    // out from the top in background steps, and at once only as far as the caret.
    document->setDocumentLayout(new LayoutAside(document));
    const auto restore = [&] {
        document->setDocumentLayout(nullptr);
        document->documentLayout();
    };
    try {
        pane.paste();
    } catch (...) {
        restore();
        throw;
    }
    restore();
    LayOutTallTextWhole(pane);
    pane.ensureCursorVisible();
}

std::unique_ptr<QTextDocument> BuildDocumentAside(const QTextEdit& pane, const WaitDisplay& wait,
                                                  const std::function<void(QTextDocument&)>& fill) {
    QThread* const guiThread = QThread::currentThread();
    const QFont font = pane.document()->defaultFont();
    const QTextOption option = pane.document()->defaultTextOption();
    std::unique_ptr<QTextDocument> result;
    std::exception_ptr error;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            auto document = std::make_unique<books::SealedDocument>();
            document->setUndoRedoEnabled(false);
            document->setDefaultFont(font);
            document->setDefaultTextOption(option);
            // One edit for the whole fill: the document settles its structure once, not
            // after every paragraph, which costs time and leaves its memory in pieces.
            QTextCursor edit(document.get());
            edit.beginEditBlock();
            fill(*document);
            edit.endEditBlock();
            document->setUndoRedoEnabled(true);
            document->moveToThread(guiThread);
            result = std::move(document);
        } catch (...) {
            error = std::current_exception();
        }
    }));

    if (QThread::currentThread()->loopLevel() == 0) {
        // Before the program's event loop runs (a file named at start-up) nothing is painted
        // yet, and a loop run here would take in what is meant for the first one.
        worker->start();
        worker->wait();
    } else {
        const BusyDisplay busy(wait);
        const InputHold hold(wait.window);
        QEventLoop loop;
        bool built = false;
        QObject::connect(worker.get(), &QThread::finished, &loop, [&loop, &built] {
            built = true;
            loop.quit();
        });
        worker->start();
        loop.exec();
        worker->wait();
        // The program was asked to end meanwhile: the request reaches the main loop.
        if (!built) QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    }
    if (error) std::rethrow_exception(error);
    return result;
}

void InstallDocument(QTextEdit& pane, std::unique_ptr<QTextDocument> document) {
    QTextDocument* const installed = document.release();
    installed->setParent(&pane);
    PaneLayout::Install(*installed, pane);
    QPointer<QTextDocument> previous = pane.document();
    // The pane keeps its extra selections over a new document (Qt drops them only in clear()),
    // and their cursors would point into the old one after it is freed.
    pane.setExtraSelections({});
    pane.setDocument(installed);
    // The pane frees only the document it made itself; one of ours goes here.
    if (previous && previous->parent() == &pane) delete previous.data();
    pane.setTextCursor(QTextCursor(installed));
    LayOutTallTextWhole(pane);
    ReturnFreedMemory();
}

}  // namespace moratutor::ui

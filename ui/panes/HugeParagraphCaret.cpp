#include "HugeParagraphCaret.h"

#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <optional>

#include "PaneLayout.h"

namespace moratutor::ui {
namespace {

class HugeParagraphCaret : public QObject {
public:
    explicit HugeParagraphCaret(QTextEdit& pane) : QObject(&pane), pane_(pane) {
        pane.installEventFilter(this);
        pane.viewport()->installEventFilter(this);
        // The pane repaints the caret's old place by asking where it was, and in a huge
        // paragraph the layout answers with the caret's present line only.
        connect(&pane, &QTextEdit::cursorPositionChanged, this, [this] {
            // The column of a run of line moves ends with any other move of the caret, a new
            // document's among them.
            if (!movingByLines_) upDownX_.reset();
            const bool inHuge = PaneLayout::IsHuge(pane_.textCursor().block());
            if (inHuge || wasInHuge_) pane_.viewport()->update();
            wasInHuge_ = inHuge;
        });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) upDownX_.reset();
        if (event->type() == QEvent::InputMethodQuery && watched == &pane_) return AnswerInputMethod(event);
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::MouseButtonDblClick) return false;
        auto* layout = dynamic_cast<PaneLayout*>(pane_.document()->documentLayout());
        if (!layout) return false;
        if (event->type() == QEvent::KeyPress && watched == &pane_ && PaneLayout::IsHuge(pane_.textCursor().block()))
            return Key(*layout, *static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::MouseButtonDblClick && watched == pane_.viewport()) {
            const int at = pane_.cursorForPosition(static_cast<QMouseEvent*>(event)->position().toPoint()).position();
            if (!PaneLayout::IsHuge(pane_.document()->findBlock(at))) return false;
            SelectWord(at);
            return true;
        }
        return false;
    }

private:
    // The pane answers an input method with a caret rectangle from Qt's lines, which a huge
    // paragraph has none of: the caret's place comes from the pane's own layout instead.
    bool AnswerInputMethod(QEvent* event) {
        auto* layout = dynamic_cast<PaneLayout*>(pane_.document()->documentLayout());
        if (!layout || !PaneLayout::IsHuge(pane_.textCursor().block())) return false;
        auto* query = static_cast<QInputMethodQueryEvent*>(event);
        static_cast<QObject&>(pane_).event(query);  // the pane's own answers first
        if (query->queries() & Qt::ImCursorRectangle) {
            const QPointF scrolled(pane_.horizontalScrollBar()->value(), pane_.verticalScrollBar()->value());
            const QRectF caret = layout->CaretRect(pane_.textCursor().position()).translated(-scrolled);
            query->setValue(Qt::ImCursorRectangle, caret.translated(pane_.viewport()->pos()).toRect());
        }
        return true;
    }

    bool Key(PaneLayout& layout, const QKeyEvent& key) {
        const bool upDown = key.key() == Qt::Key_Up || key.key() == Qt::Key_Down || key.key() == Qt::Key_PageUp ||
                            key.key() == Qt::Key_PageDown;
        if (!upDown) upDownX_.reset();
        if (key.key() == Qt::Key_Backspace || key.key() == Qt::Key_Delete) {
            Erase(key);
            return true;
        }
        const std::optional<int> target = Target(layout, key);
        if (!target) return false;
        QTextCursor cursor = pane_.textCursor();
        const auto mode = key.modifiers() & Qt::ShiftModifier ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
        cursor.setPosition(std::clamp(*target, 0, pane_.document()->characterCount() - 1), mode);
        movingByLines_ = upDown;
        pane_.setTextCursor(cursor);
        movingByLines_ = false;
        pane_.ensureCursorVisible();
        return true;
    }

    // Where a key moves the caret; none for a key left to the pane.
    std::optional<int> Target(PaneLayout& layout, const QKeyEvent& key) {
        const int position = pane_.textCursor().position();
        const bool word = key.modifiers() & Qt::ControlModifier;
        switch (key.key()) {
            case Qt::Key_Left:
            case Qt::Key_Right: {
                const bool right = key.key() == Qt::Key_Right;
                if (!word) return layout.HugeStep(position, right);
                // By words in text order, the way the paragraph reads.
                const bool forward = right == (pane_.textCursor().block().textDirection() != Qt::RightToLeft);
                return forward ? WordEnd(position) : WordStart(position);
            }
            case Qt::Key_Home:
            case Qt::Key_End:
                if (word) return std::nullopt;  // the text's start or end: Qt's own move needs no layout
                return key.key() == Qt::Key_Home ? layout.HugeLineAt(position).first : layout.HugeLineAt(position).second;
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
                return Vertical(layout, key.key());
            default:
                return std::nullopt;
        }
    }

    int Vertical(PaneLayout& layout, int key) {
        const QRectF caret = layout.CaretRect(pane_.textCursor().position());
        if (!upDownX_) upDownX_ = caret.x();
        const bool page = key == Qt::Key_PageUp || key == Qt::Key_PageDown;
        const bool up = key == Qt::Key_Up || key == Qt::Key_PageUp;
        const qreal by = page ? pane_.viewport()->height() : caret.height();
        const qreal y = up ? caret.top() - by + caret.height() / 2 : caret.bottom() + by - caret.height() / 2;
        const int target = layout.hitTest(QPointF(*upDownX_, std::max<qreal>(0, y)), Qt::FuzzyHit);
        if (page) {
            QScrollBar* bar = pane_.verticalScrollBar();
            bar->setValue(bar->value() + static_cast<int>(up ? -by : by));
        }
        return target;
    }

    void Erase(const QKeyEvent& key) {
        if (pane_.isReadOnly()) return;
        QTextCursor cursor = pane_.textCursor();
        const int position = cursor.position();
        if (!cursor.hasSelection()) {
            const bool forward = key.key() == Qt::Key_Delete;
            const int other = key.modifiers() & Qt::ControlModifier ? (forward ? WordEnd(position) : WordStart(position))
                                                                    : Step(position, forward ? +1 : -1);
            if (other == position) return;
            cursor.setPosition(other, QTextCursor::KeepAnchor);
        }
        cursor.removeSelectedText();
        pane_.setTextCursor(cursor);
        pane_.ensureCursorVisible();
    }

    // One character on, a surrogate pair counting as one.
    int Step(int position, int direction) const {
        const QTextDocument& document = *pane_.document();
        const int last = document.characterCount() - 1;
        int next = std::clamp(position + direction, 0, last);
        if (next > 0 && next < last && document.characterAt(next).isLowSurrogate()) next += direction;
        return std::clamp(next, 0, last);
    }

    bool IsWordCharacter(int position) const {
        const QChar c = pane_.document()->characterAt(position);
        return c.isLetterOrNumber() || c.isMark();
    }
    int WordStart(int position) const {
        while (position > 0 && !IsWordCharacter(position - 1)) --position;
        while (position > 0 && IsWordCharacter(position - 1)) --position;
        return position;
    }
    int WordEnd(int position) const {
        const int last = pane_.document()->characterCount() - 1;
        while (position < last && !IsWordCharacter(position)) ++position;
        while (position < last && IsWordCharacter(position)) ++position;
        return position;
    }
    void SelectWord(int at) {
        int start = at, end = at;
        while (start > 0 && IsWordCharacter(start - 1)) --start;
        while (end < pane_.document()->characterCount() - 1 && IsWordCharacter(end)) ++end;
        QTextCursor cursor(pane_.document());
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        pane_.setTextCursor(cursor);
    }

    QTextEdit& pane_;
    std::optional<qreal> upDownX_;  // kept through a run of line moves, as Qt's cursor does
    bool movingByLines_ = false;
    bool wasInHuge_ = false;
};

}  // namespace

void GuardHugeParagraphCaret(QTextEdit& pane) { new HugeParagraphCaret(pane); }

}  // namespace moratutor::ui

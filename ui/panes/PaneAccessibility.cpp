#include "PaneAccessibility.h"

#include <QAbstractTextDocumentLayout>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QMap>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "PaneLayout.h"

namespace moratutor::ui {
namespace {

// The mark of a pane that answers through PaneAccessible.
constexpr char kPaneProperty[] = "moratutorAccessiblePane";
// How far about an offset a huge paragraph's words and sentences are looked for: the
// paragraph itself is never read whole.
constexpr int kReach = 4096;

class PaneAccessible : public QAccessibleWidget,
                       public QAccessibleTextInterface,
                       public QAccessibleEditableTextInterface {
public:
    explicit PaneAccessible(QTextEdit* pane) : QAccessibleWidget(pane, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface) return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.selectableText = true;
        state.multiLine = true;
        if (Pane().isReadOnly())
            state.readOnly = true;
        else
            state.editable = true;
        return state;
    }
    // The description among the rest is the widget's: the converted pane's tells the answer
    // key at the caret (AnswerKeyPane.h).
    QString text(QAccessible::Text type) const override {
        return type == QAccessible::Value ? Pane().toPlainText() : QAccessibleWidget::text(type);
    }
    void setText(QAccessible::Text type, const QString& text) override {
        if (type != QAccessible::Value) return QAccessibleWidget::setText(type, text);
        if (!Pane().isReadOnly()) Pane().setPlainText(text);
    }

    // The caret and the selection: the pane's own.
    void selection(int index, int* start, int* end) const override {
        const QTextCursor cursor = Pane().textCursor();
        const bool one = index == 0 && cursor.hasSelection();
        *start = one ? cursor.selectionStart() : 0;
        *end = one ? cursor.selectionEnd() : 0;
    }
    int selectionCount() const override { return Pane().textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override {
        if (index == 0) setCursorPosition(cursorPosition());
    }
    void setSelection(int index, int start, int end) override {
        if (index == 0) Pane().setTextCursor(Range(start, end));
    }
    int cursorPosition() const override { return Pane().textCursor().position(); }
    void setCursorPosition(int position) override { Pane().setTextCursor(Range(position, position)); }
    QString text(int start, int end) const override {
        return Range(start, end).selectedText().replace(QChar::ParagraphSeparator, u'\n');
    }
    int characterCount() const override { return Pane().document()->characterCount() - 1; }

    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override {
        const auto [first, second] = Boundaries(offset, type);
        return Answer(first > 0 ? Boundaries(first - 1, type) : std::make_pair(first, second), start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override {
        return Answer(Boundaries(Boundaries(offset, type).second, type), start, end);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override {
        return Answer(Boundaries(offset, type), start, end);
    }

    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int start, int end) override;
    QString attributes(int offset, int* start, int* end) const override;

    void deleteText(int start, int end) override { replaceText(start, end, QString()); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override {
        if (!Pane().isReadOnly()) Range(start, end).insertText(text);
    }

private:
    QTextEdit& Pane() const { return *static_cast<QTextEdit*>(widget()); }
    PaneLayout* Layout() const { return dynamic_cast<PaneLayout*>(Pane().document()->documentLayout()); }
    bool InHuge(const QTextBlock& block) const { return PaneLayout::IsHuge(block) && Layout(); }
    // A cursor on the pane's document from `start` to `end`, both kept within the text.
    QTextCursor Range(int start, int end) const {
        QTextCursor cursor(Pane().document());
        cursor.setPosition(std::clamp(start, 0, characterCount()));
        cursor.setPosition(std::clamp(end, 0, characterCount()), QTextCursor::KeepAnchor);
        return cursor;
    }
    QString Answer(std::pair<int, int> range, int* start, int* end) const {
        *start = range.first;
        *end = range.second;
        return text(range.first, range.second);
    }
    std::pair<int, int> Boundaries(int offset, QAccessible::TextBoundaryType type) const;
    std::pair<int, int> HugeBoundaries(const QTextBlock& block, int offset, QAccessible::TextBoundaryType type) const;
    std::pair<int, int> FindAround(const QTextBlock& block, int offset, QTextBoundaryFinder::BoundaryType type) const;
    QTextCharFormat FormatAt(const QTextBlock& block, int offset) const;
    // The view's place in the document, and a point or rectangle of the document on the screen.
    QPoint Scrolled() const {
        return {Pane().horizontalScrollBar()->sliderPosition(), Pane().verticalScrollBar()->sliderPosition()};
    }
    QRect ToScreen(QRect box) const {
        box.moveTo(Pane().viewport()->mapToGlobal(box.topLeft()) - Scrolled());
        return box;
    }
    QRectF CaretInDocument(int position) const {
        if (const PaneLayout* layout = Layout()) return layout->CaretRect(position);
        return QRectF(Pane().cursorRect(Range(position, position))).translated(Scrolled());
    }
};

std::pair<int, int> PaneAccessible::Boundaries(int offset, QAccessible::TextBoundaryType type) const {
    const QTextCursor at = Range(offset, offset);
    if (InHuge(at.block())) return HugeBoundaries(at.block(), at.position(), type);
    const auto [first, second] = QAccessible::qAccessibleTextBoundaryHelper(at, type);
    return {first, second};
}

// Qt's cursor finds these from the paragraph's lines and character attributes, made for the
// whole paragraph: here its lines come from the pane's layout, the rest from the text about it.
std::pair<int, int> PaneAccessible::HugeBoundaries(const QTextBlock& block, int offset,
                                                   QAccessible::TextBoundaryType type) const {
    const int end = block.position() + block.length() - 1;
    switch (type) {
        case QAccessible::CharBoundary:
            if (offset == end) return {offset, std::min(offset + 1, characterCount())};
            return FindAround(block, offset, QTextBoundaryFinder::Grapheme);
        case QAccessible::WordBoundary:
            return FindAround(block, offset, QTextBoundaryFinder::Word);
        case QAccessible::SentenceBoundary:
            return FindAround(block, offset, QTextBoundaryFinder::Sentence);
        case QAccessible::LineBoundary:
            return Layout()->HugeLineAt(offset);
        case QAccessible::ParagraphBoundary:
            return {block.position(), end};
        case QAccessible::NoBoundary:
            break;
    }
    return {0, characterCount()};
}

std::pair<int, int> PaneAccessible::FindAround(const QTextBlock& block, int offset,
                                               QTextBoundaryFinder::BoundaryType type) const {
    const int from = std::max(block.position(), offset - kReach);
    const int to = std::min(block.position() + block.length() - 1, offset + kReach);
    const QString around = text(from, to);
    QTextBoundaryFinder finder(type, around);
    finder.setPosition(offset - from);
    const int before = finder.isAtBoundary() ? offset - from : finder.toPreviousBoundary();
    finder.setPosition(offset - from);
    const int after = finder.toNextBoundary();
    return {from + std::max(before, 0), after < 0 ? to : from + after};
}

QTextCharFormat PaneAccessible::FormatAt(const QTextBlock& block, int offset) const {
    // A cursor tells the format of the character before it; a paragraph's end takes the
    // format of its last character, as Qt's answer does.
    const int end = block.position() + block.length() - 1;
    return Range(offset < end ? offset + 1 : offset, offset < end ? offset + 1 : offset).charFormat();
}

QRect PaneAccessible::characterRect(int offset) const {
    const QTextBlock block = Pane().document()->findBlock(offset);
    const QString character = text(offset, offset + 1);
    if (!block.isValid() || character.isEmpty()) return {};
    const QFontMetrics metrics(FormatAt(block, offset).font());
    if (InHuge(block)) {
        // On the line where the pane's layout draws it, as tall as that line.
        const QRectF caret = Layout()->CaretRect(offset);
        return ToScreen(QRect(static_cast<int>(caret.x()), static_cast<int>(caret.y()),
                              metrics.horizontalAdvance(character), static_cast<int>(caret.height())));
    }
    const QTextLayout* lines = block.layout();
    if (lines->lineCount() == 0) Pane().document()->documentLayout()->blockBoundingRect(block);  // made now
    const int inBlock = offset - block.position();
    const QTextLine line = lines->lineForTextPosition(inBlock);
    if (!line.isValid()) return {};
    // As Qt's answer places it: at the caret's place, the font's height on the line's baseline.
    const QPointF at = lines->position() + QPointF(line.cursorToX(inBlock), line.y() + line.ascent() +
                                                                                 metrics.descent() - metrics.height());
    return ToScreen(QRect(static_cast<int>(at.x()), static_cast<int>(at.y()), metrics.horizontalAdvance(character),
                          metrics.height()));
}

int PaneAccessible::offsetAtPoint(const QPoint& point) const {
    const QPointF at = Pane().viewport()->mapFromGlobal(point) + Scrolled();
    const PaneLayout* layout = Layout();
    if (!layout || !PaneLayout::IsHuge(layout->BlockAt(at.y())))
        return Pane().document()->documentLayout()->hitTest(at, Qt::ExactHit);
    // The character under the point: on either side of the caret's place nearest to it.
    const int nearest = layout->hitTest(at, Qt::FuzzyHit);
    for (const int offset : {nearest, nearest - 1})
        if (offset >= 0 && characterRect(offset).contains(point)) return offset;
    return -1;
}

void PaneAccessible::scrollToSubstring(int start, int end) {
    // Asked for its paragraph's place, the layout tells the pane how far its range must reach.
    Pane().document()->documentLayout()->blockBoundingRect(Pane().document()->findBlock(start));
    const QRectF area = CaretInDocument(start).united(CaretInDocument(end));
    // As little a move as brings it into view, its start first when it is taller than the view.
    const auto bring = [](QScrollBar* bar, qreal low, qreal high, int room) {
        if (low < bar->value())
            bar->setValue(static_cast<int>(low));
        else if (high > bar->value() + room)
            bar->setValue(static_cast<int>(std::min(low, high - room)));
    };
    bring(Pane().verticalScrollBar(), area.top(), area.bottom(), Pane().viewport()->height());
    bring(Pane().horizontalScrollBar(), area.left(), area.right(), Pane().viewport()->width());
}

QString PaneAccessible::attributes(int offset, int* start, int* end) const {
    const int count = characterCount();
    if (offset == -2) offset = cursorPosition();  // IAccessible2's "at the caret"
    if (offset == -1 || offset == count) offset = count - 1;
    if (offset < 0 || offset > count) {
        *start = *end = -1;
        return {};
    }
    // The run of one format about the offset, within its paragraph.
    const QTextBlock block = Pane().document()->findBlock(offset);
    *start = block.position();
    *end = block.position() + block.length();
    QTextCharFormat format = block.charFormat();
    for (auto run = block.begin(); !run.atEnd(); ++run) {
        const QTextFragment fragment = run.fragment();
        if (!fragment.contains(offset)) continue;
        format = fragment.charFormat();
        *start = std::max(fragment.position(), *start);
        *end = std::min(fragment.position() + fragment.length(), *end);
        break;
    }
    const QFont font = format.font();
    QMap<QString, QString> named;
    named[QStringLiteral("font-family")] = QStringLiteral("\"%1\"").arg(font.family());
    if (font.pointSize() > 0) named[QStringLiteral("font-size")] = QStringLiteral("%1pt").arg(font.pointSize());
    named[QStringLiteral("font-weight")] = font.weight() > QFont::Normal ? QStringLiteral("bold") : QStringLiteral("normal");
    named[QStringLiteral("font-style")] = font.italic() ? QStringLiteral("italic") : QStringLiteral("normal");
    QString answer;
    for (auto it = named.cbegin(); it != named.cend(); ++it) answer += it.key() + u':' + it.value() + u';';
    return answer;
}

QAccessibleInterface* MakeInterface(const QString&, QObject* object) {
    auto* pane = qobject_cast<QTextEdit*>(object);
    if (!pane || !pane->property(kPaneProperty).toBool()) return nullptr;
    return new PaneAccessible(pane);
}

}  // namespace

void GuardPaneAccessibility(QTextEdit& pane) {
    // Factories installed later are asked first: this one before Qt's for the widgets.
    static const bool installed = [] {
        QAccessible::installFactory(&MakeInterface);
        return true;
    }();
    Q_UNUSED(installed);
    pane.setProperty(kPaneProperty, true);
    // Qt may have made the pane an interface of its own already (asked while the pane was
    // being made): that one gives way to ours.
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(&pane); !dynamic_cast<PaneAccessible*>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

}  // namespace moratutor::ui

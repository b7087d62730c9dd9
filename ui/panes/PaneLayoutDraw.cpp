// The panes' own layout (PaneLayout.h): drawing the paragraphs in view and finding the
// character under a point.
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

#include "HugeParagraph.h"
#include "PaneLayout.h"

namespace moratutor::ui {

void PaneLayout::draw(QPainter* painter, const PaintContext& context) {
    InStep();
    if (paragraphs_.empty()) return;
    const QRectF clip = context.clip.isValid() ? context.clip : QRectF(0, 0, documentSize().width(), Bottom());
    const QVariant cursorProperty = property("cursorWidth");
    const int cursorWidth = cursorProperty.isValid() ? cursorProperty.toInt() : 1;

    drawing_ = true;
    paintedSinceReset_ = true;
    int number = NumberAt(clip.top());
    for (QTextBlock block = document()->findBlockByNumber(number); block.isValid(); block = block.next(), ++number) {
        if (!block.isVisible()) continue;
        // Top to bottom, so that a height found while painting moves only what is painted later.
        EnsureLines(block, number);
        const QPointF origin = Origin(number);
        if (origin.y() > clip.bottom()) break;
        if (origin.y() + paragraphs_[static_cast<std::size_t>(number)].height < clip.top()) continue;
        DrawParagraph(*painter, block, number, context, clip, cursorWidth);
    }
    drawing_ = false;
    ScheduleSettle();
}

QList<QTextLayout::FormatRange> PaneLayout::SelectionsIn(const QTextBlock& block, const PaintContext& context,
                                                          bool huge) const {
    const int position = block.position(), length = block.length();
    QList<QTextLayout::FormatRange> selections;
    for (const Selection& selection : context.selections) {
        const int start = selection.cursor.selectionStart() - position;
        const int end = selection.cursor.selectionEnd() - position;
        if (start < length && end > 0 && end > start) {
            selections.append({start, end - start, selection.format});
        } else if (!huge && !selection.cursor.hasSelection() && selection.format.hasProperty(QTextFormat::FullWidthSelection) &&
                   block.contains(selection.cursor.position())) {
            const QTextLine line = block.layout()->lineForTextPosition(selection.cursor.position() - position);
            QTextLayout::FormatRange range{line.textStart(), line.textLength(), selection.format};
            if (range.start + range.length == length - 1) ++range.length;  // the paragraph's end too
            selections.append(range);
        }
    }
    return selections;
}

void PaneLayout::DrawParagraph(QPainter& painter, const QTextBlock& block, int number, const PaintContext& context,
                               const QRectF& clip, int cursorWidth) {
    const QTextLayout* lines = block.layout();
    const auto hugeParagraph = huge_.find(number);
    const bool huge = hugeParagraph != huge_.end();
    if (!huge && lines->lineCount() == 0) return;  // a huge paragraph not laid out yet
    const int position = block.position(), length = block.length();
    const QPointF origin = Origin(number);
    const QList<QTextLayout::FormatRange> selections = SelectionsIn(block, context, huge);

    painter.save();
    painter.translate(origin);
    const QBrush background = block.blockFormat().background();
    if (background.style() != Qt::NoBrush)
        painter.fillRect(QRectF(0, 0, ContentWidth(), paragraphs_[static_cast<std::size_t>(number)].height), background);
    painter.setPen(context.palette.color(QPalette::Text));
    int cursor = context.cursorPosition;
    // While text is composed, the pane gives the caret as -2 minus its place in the pre-edit text.
    if (cursor < -1 && !lines->preeditAreaText().isEmpty()) cursor = position + lines->preeditAreaPosition() - (cursor + 2);
    if (huge) {
        HugeParagraph& paragraph = *hugeParagraph->second;
        paragraph.SetPreedit(lines->preeditAreaPosition(), lines->preeditAreaText());
        paragraph.Draw(painter, selections, cursor >= position && cursor < position + length ? cursor - position : -1,
                       cursorWidth, clip.translated(-origin));
    } else {
        // The lines' layout stands at the paragraph's place; the painter is there already.
        const QPointF at = -lines->position();
        lines->draw(&painter, at, selections, clip.translated(-origin));
        if (cursor >= position && cursor < position + length) lines->drawCursor(&painter, at, cursor - position, cursorWidth);
    }
    painter.restore();
}

int PaneLayout::hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const {
    InStep();
    if (paragraphs_.empty()) return -1;
    int number = NumberAt(point.y());
    QTextBlock block = document()->findBlockByNumber(number);
    while (block.isValid() && !block.isVisible() && number > 0) {
        block = block.previous();
        --number;
    }
    if (!block.isValid()) return -1;
    EnsureLines(block, number);
    if (const auto huge = huge_.find(number); huge != huge_.end())
        return block.position() + huge->second->HitTest(point - Origin(number));
    const QTextLayout* lines = block.layout();
    if (lines->lineCount() == 0) return accuracy == Qt::ExactHit ? -1 : block.position();
    const QPointF at = point - Origin(number);
    for (int i = 0; i < lines->lineCount(); ++i) {
        const QTextLine line = lines->lineAt(i);
        if (at.y() >= line.y() + line.height() && i + 1 < lines->lineCount()) continue;
        if (accuracy == Qt::ExactHit) {
            // As Qt's layout hits: the text's own extent, wherever the alignment put it, and
            // the character under the point rather than the nearer gap.
            const QRectF text = line.naturalTextRect();
            if (at.y() < line.y() || at.y() >= line.y() + line.height() || at.x() < text.left() || at.x() > text.right())
                return -1;
            return block.position() + line.xToCursor(at.x(), QTextLine::CursorOnCharacter);
        }
        return block.position() + line.xToCursor(at.x());
    }
    return -1;
}

}  // namespace moratutor::ui

// A pane's document layout that lays out only the paragraphs the pane shows. Qt's own layout
// lays out every paragraph of the document, in background steps after each change: for a
// book that is seconds of work, megabytes of line data, a relayout of everything below a
// typed letter, and a text taller than its 2^23-pixel limit stops it for good.
//
// Here a paragraph not yet shown has an estimated height (its length over the pane's
// width); its lines are made when it is drawn, hit or asked for, and a paragraph near the
// view keeps them. Heights above the view that turn out other than estimated are made
// good by moving the view with them, so what the reader sees stays where it is.
//
// Flat documents only: paragraphs of text with their character and paragraph formats, as
// the program's readers make them. A document with tables, frames, lists or images (a
// rich paste) goes back to Qt's own layout.
#pragma once

#include <QAbstractTextDocumentLayout>
#include <QPointer>
#include <QTextBlock>

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class QTextEdit;

namespace moratutor::ui {

class HugeParagraph;

// Widens `line`, laid out with `option`, as Qt's layout does a line that does not wrap.
void WidenUnwrapped(QTextLine& line, const QTextOption& option);

class PaneLayout : public QAbstractTextDocumentLayout {
public:
    PaneLayout(QTextDocument* document, QTextEdit* pane);
    ~PaneLayout() override;

    // Whether `document` holds only what this layout draws.
    static bool Suits(const QTextDocument& document);
    // Gives `document` this layout for `pane` if it suits, else Qt's own.
    static void Install(QTextDocument& document, QTextEdit& pane);

    // The paragraph at height y of the document (the first or last one beyond its ends).
    QTextBlock BlockAt(qreal y) const;

    // A paragraph shown in pieces (HugeParagraph.h): the caret moves through it by the
    // functions below, since Qt's would lay it out whole.
    static bool IsHuge(const QTextBlock& block);
    // The caret's rectangle at `position`, in the document.
    QRectF CaretRect(int position) const;
    // The line's start and end about `position` in a huge paragraph.
    std::pair<int, int> HugeLineAt(int position) const;
    // The caret's place one character to the left or right of `position` on the screen, in
    // a huge paragraph.
    int HugeStep(int position, bool right) const;

    void draw(QPainter* painter, const PaintContext& context) override;
    int hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame* frame) const override;
    QRectF blockBoundingRect(const QTextBlock& block) const override;

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    // Parts of documentChanged: whether an edit within a huge paragraph was handled there,
    // and the paragraphs from `first` to `last` estimated afresh.
    bool UpdateHuge(const QTextBlock& first, int from, int charsRemoved, int charsAdded);
    void Reestimate(const QTextBlock& first, const QTextBlock& last, int oldLast);
    // Parts of draw: the selections that fall in a paragraph, and one paragraph drawn.
    QList<QTextLayout::FormatRange> SelectionsIn(const QTextBlock& block, const PaintContext& context, bool huge) const;
    void DrawParagraph(QPainter& painter, const QTextBlock& block, int number, const PaintContext& context,
                       const QRectF& clip, int cursorWidth);

private:
    // What the whole layout depends on besides the text: a change of any of it is a change
    // of every paragraph's lines.
    struct Settings {
        qreal pageWidth = 0, margin = 0, indentWidth = 0, tabStop = 0;
        QTextOption::WrapMode wrap = QTextOption::WrapAtWordBoundaryOrAnywhere;
        Qt::Alignment alignment;
        QString font;
        bool operator==(const Settings&) const = default;
    };
    struct Paragraph {
        float gap = 0;      // space above its first line (margins, collapsed as Qt does)
        float height = 0;   // its lines, estimated until measured
        bool measured = false;
    };

    Settings CurrentSettings() const;
    void InStep() const;
    void ResetAll();
    // `previousBottom`: the bottom margin of the paragraph above, negative for the first.
    Paragraph Estimate(const QTextBlock& block, qreal previousBottom) const;
    qreal ContentWidth() const;
    qreal Top(int number) const;  // the top of the paragraph's gap
    QPointF Origin(int number) const;
    int NumberAt(qreal y) const;
    qreal Bottom() const;
    // Lays out the paragraph's lines if it has none; returns whether its height changed.
    bool EnsureLines(const QTextBlock& block, int number) const;
    // Where a paragraph's lines go: its options, indent from the left and width.
    struct LineFrame {
        QTextOption option;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        qreal left = 0, available = 0;
    };
    LineFrame FrameOf(const QTextBlock& block) const;
    bool MakeHuge(const QTextBlock& block, int number, const LineFrame& frame) const;
    bool LayOutLines(const QTextBlock& block, int number, const LineFrame& frame) const;
    // Lines for the paragraphs within `reach` pixels above and below `block`.
    void EnsureAround(const QTextBlock& block, int number, qreal reach) const;
    void SetHeight(int number, const Paragraph& paragraph) const;
    void ScheduleSettle() const;
    // After a paint: lines for the paragraphs near the view, the view kept on what it
    // shows, the pane told the new size, and lines far from the view let go.
    void Settle();
    qreal ViewTop() const;
    qreal ViewHeight() const;
    void EmitSizeIfChanged() const;
    void ForgetDistantLines(int firstShown, int lastShown) const;
    // A long paragraph just laid out keeps its glyphs; the oldest beyond a few give theirs up.
    void KeepGlyphsOf(int number) const;
    void ReleaseGlyphs(int number) const;

    QPointer<QTextEdit> pane_;
    Settings settings_;
    mutable std::vector<Paragraph> paragraphs_;
    mutable std::vector<qreal> tops_;  // prefix sums of gap + height, valid below topsValid_
    mutable std::size_t topsValid_ = 0;
    mutable qreal widest_ = 0;
    mutable QSizeF reportedSize_;
    mutable bool settleScheduled_ = false;
    bool drawing_ = false;
    mutable bool paintedSinceReset_ = false;
    mutable bool hugeWaiting_ = false;  // a paint passed over a huge paragraph without lines
    mutable std::vector<int> withLines_;  // paragraphs given lines, oldest first
    mutable std::map<int, std::unique_ptr<HugeParagraph>> huge_;  // by paragraph number
    mutable std::vector<int> longWithGlyphs_;
    qsizetype formatsChecked_ = 0;  // the document's formats when it was last found to suit  // long paragraphs keeping their glyphs, oldest first
    qreal lineHeight_ = 16, characterWidth_ = 7;
};

}  // namespace moratutor::ui

// A paragraph of a million characters or more, shown through layouts of its pieces. Qt's
// layout of one paragraph keeps some 35 bytes for each of its characters, whatever part of it
// is shown, and any caret move within the paragraph asks for that layout whole: for a book
// in one paragraph, over a gigabyte. Here the paragraph is cut into pieces of a few thousand
// characters, each starting where a line of the whole paragraph starts, so the lines are the
// ones Qt would make; only the pieces on screen keep a layout. Without wrapping, a piece goes
// on where the one before ended, on the same line.
#pragma once

#include <QFont>
#include <QRectF>
#include <QString>
#include <QTextLayout>
#include <QTextOption>

#include <functional>
#include <list>
#include <memory>
#include <utility>
#include <vector>

class QPainter;
class QTextBlock;

namespace moratutor::ui {

class HugeParagraph {
public:
    // Positions are in the paragraph (0 is its first character), points relative to its
    // top-left corner. `left` is the lines' indent from that corner, `width` their width.
    // `progress` hears how many characters of how many are laid out, now and then.
    HugeParagraph(const QTextBlock& block, const QFont& font, const QTextOption& option, qreal left, qreal width,
                  const std::function<void(int done, int total)>& progress = {});

    // After an edit of `block`, this paragraph, at `from` with `removed` characters gone and
    // `added` come: the pieces before it stay, the ones after it move, only those about it are
    // laid out again.
    void Update(const QTextBlock& block, int from, int removed, int added);
    qreal Height() const { return height_; }
    void Draw(QPainter& painter, const QList<QTextLayout::FormatRange>& selections, int cursor, int cursorWidth,
              const QRectF& clip) const;
    int HitTest(const QPointF& at) const;
    // The caret's rectangle at `position`, one pixel wide.
    QRectF CaretRect(int position) const;
    // The start and end of the line holding `position`, as Home and End go.
    std::pair<int, int> LineAt(int position) const;
    // The caret's next place to the left or right on the screen: by whole characters (a
    // surrogate pair, a letter with its marks), in the order the line shows them.
    int VisualStep(int position, bool right) const;
    // Text being composed at `position` (the input method's pre-edit text), drawn there; an
    // empty text ends it. Returns whether it changed.
    bool SetPreedit(int position, const QString& text);
    qreal NaturalWidth() const { return widest_; }

private:
    struct Piece {
        int start = 0, length = 0;
        qreal top = 0, height = 0;  // the height of its lines above the next piece's
        qreal left = 0;             // where its first line starts, when it goes on the line before
        qreal bottom = 0, right = 0;  // the extent of its own lines
    };
    // Lays out pieces from `start` on, the first line of the first at `left`; stops once a piece ends where one of `later` (already
    // moved to the new text) begins, and takes those from there.
    void LayOutFrom(int start, qreal left, std::vector<Piece> later, const std::function<void(int, int)>& progress = {});
    std::unique_ptr<QTextLayout> LayOut(int start, int length, qreal firstLeft) const;
    bool Wraps() const;
    // How much of the text from `start` a piece takes: kPiece characters, less so as not
    // to cut a character or, without wrapping, a word.
    int Take(int start) const;
    const QTextLayout& Layout(std::size_t piece) const;
    std::size_t PieceAt(qreal y) const;
    std::size_t PieceAt(const QPointF& at) const;
    std::size_t PieceOf(int position) const;
    // Without wrapping, where the line through a piece's first line starts, and where the
    // line through its last one ends.
    int RowStart(std::size_t piece) const;
    int RowEnd(std::size_t piece) const;

    QString text_;
    QList<QTextLayout::FormatRange> formats_;
    QFont font_;
    QTextOption option_;
    int preeditAt_ = -1;
    QString preedit_;
    qreal left_, width_, height_ = 0, widest_ = 0;
    std::vector<Piece> pieces_;
    mutable std::list<std::pair<std::size_t, std::unique_ptr<QTextLayout>>> shown_;  // most recent first
};

}  // namespace moratutor::ui

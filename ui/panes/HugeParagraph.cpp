#include "HugeParagraph.h"

#include "moratutor/books/WholeWords.h"

#include <QPainter>
#include <QTextBlock>

#include <algorithm>

#include "PaneLayout.h"

namespace moratutor::ui {
namespace {

// Characters laid out at a time: a few hundred lines, a fraction of a megabyte of layout.
constexpr int kPiece = 1 << 15;
// Pieces that keep their layout once shown.
constexpr std::size_t kPiecesShown = 8;

QList<QTextLayout::FormatRange> Clipped(const QList<QTextLayout::FormatRange>& ranges, int start, int length) {
    QList<QTextLayout::FormatRange> clipped;
    for (const QTextLayout::FormatRange& range : ranges) {
        const int from = std::max(range.start, start), to = std::min(range.start + range.length, start + length);
        if (to > from) clipped.append({from - start, to - from, range.format});
    }
    return clipped;
}

}  // namespace

HugeParagraph::HugeParagraph(const QTextBlock& block, const QFont& font, const QTextOption& option, qreal left,
                             qreal width, const std::function<void(int, int)>& progress)
    : text_(block.text()), formats_(block.textFormats()), font_(font), option_(option), left_(left), width_(width) {
    LayOutFrom(0, 0, {}, progress);
}

bool HugeParagraph::Wraps() const {
    return option_.wrapMode() != QTextOption::NoWrap && option_.wrapMode() != QTextOption::ManualWrap;
}

int HugeParagraph::Take(int start) const {
    const int length = static_cast<int>(text_.size());
    int take = std::min(kPiece, length - start);
    if (start + take >= length) return take;
    // A piece that the next one goes on from ends after a space where there is one near;
    // never inside a surrogate pair.
    if (!Wraps()) {
        const int space = static_cast<int>(text_.lastIndexOf(u' ', start + take - 1));
        if (space > start + take - 1024) take = space + 1 - start;
    }
    if (text_.at(start + take - 1).isHighSurrogate()) --take;
    return take;
}

void HugeParagraph::LayOutFrom(int start, qreal left, std::vector<Piece> later,
                               const std::function<void(int, int)>& progress) {
    // Piece after piece, each from the start of the last line of the one before: where the
    // next line starts depends only on the text from there on, so the lines are the whole
    // paragraph's. Without wrapping, each goes on from the end of the one before.
    const int length = static_cast<int>(text_.size());
    const bool wraps = Wraps();
    auto resume = later.begin();
    while (start < length) {
        while (resume != later.end() && resume->start < start) ++resume;
        if (resume != later.end() && resume->start == start) {
            // From here on the text and its lines are as they were; along a line that goes
            // on through pieces, moved by what the edit made wider or narrower.
            qreal shift = left - resume->left;
            for (; resume != later.end(); ++resume) {
                resume->bottom += height_ - resume->top;
                resume->top = height_;
                resume->left += shift;
                resume->right += shift;
                if (resume->height > 0) shift = 0;
                pieces_.push_back(*resume);
                height_ += resume->height;
            }
            return;
        }
        const int take = Take(start);
        const std::unique_ptr<QTextLayout> lines = LayOut(start, take, left);
        Piece piece{start, take, height_, 0, left};
        const int count = lines->lineCount();
        const QTextLine last = lines->lineAt(count - 1);
        for (int i = 0; i < count; ++i)
            piece.right = std::max(piece.right, lines->lineAt(i).x() + lines->lineAt(i).naturalTextWidth());
        widest_ = std::max(widest_, piece.right);
        if (start + take < length && !wraps) {
            piece.height = last.y();
            piece.bottom = height_ + last.y() + last.height();
            left = last.x() - left_ + last.naturalTextWidth();
        } else if (start + take < length && count > 1) {
            piece.length = last.textStart();
            piece.height = last.y();
            piece.bottom = height_ + last.y();
        } else {
            piece.height = last.y() + last.height();
            piece.bottom = height_ + piece.height;
        }
        pieces_.push_back(piece);
        height_ += piece.height;
        start += piece.length;
        if (progress && pieces_.size() % 16 == 0) progress(start, length);
    }
}

void HugeParagraph::Update(const QTextBlock& block, int from, int removed, int added) {
    text_ = block.text();
    formats_ = block.textFormats();
    shown_.clear();
    // The piece before the one edited too: its last line may now break otherwise.
    std::size_t first = PieceOf(from);
    if (first > 0) --first;
    std::vector<Piece> later;
    for (std::size_t i = first + 1; i < pieces_.size(); ++i) {
        if (pieces_[i].start <= from + removed) continue;
        Piece moved = pieces_[i];
        moved.start += added - removed;
        later.push_back(moved);
    }
    const int start = pieces_[first].start;
    height_ = pieces_[first].top;
    const qreal left = pieces_[first].left;
    pieces_.resize(first);
    LayOutFrom(start, left, std::move(later));
}

std::unique_ptr<QTextLayout> HugeParagraph::LayOut(int start, int length, qreal firstLeft) const {
    auto lines = std::make_unique<QTextLayout>(text_.mid(start, length), font_);
    lines->setTextOption(option_);
    lines->setFormats(Clipped(formats_, start, length));
    if (preeditAt_ >= start && preeditAt_ <= start + length) lines->setPreeditArea(preeditAt_ - start, preedit_);
    lines->setCacheEnabled(true);
    qreal y = 0;
    const QString text = lines->text();
    lines->beginLayout();
    for (bool first = true;; first = false) {
        QTextLine line = lines->createLine();
        if (!line.isValid()) break;
        line.setLeadingIncluded(true);
        books::SetLineWidthKeepingWords(text, line, width_);
        WidenUnwrapped(line, option_);
        line.setPosition(QPointF(left_ + (first ? firstLeft : 0), y));
        y += line.height();
    }
    lines->endLayout();
    return lines;
}

const QTextLayout& HugeParagraph::Layout(std::size_t piece) const {
    const auto found = std::find_if(shown_.begin(), shown_.end(), [piece](const auto& p) { return p.first == piece; });
    if (found != shown_.end()) {
        shown_.splice(shown_.begin(), shown_, found);
    } else {
        const Piece& p = pieces_[piece];
        shown_.emplace_front(piece, LayOut(p.start, p.length, p.left));
        if (shown_.size() > kPiecesShown) shown_.pop_back();
    }
    return *shown_.front().second;
}

std::size_t HugeParagraph::PieceAt(qreal y) const {
    const auto after = std::upper_bound(pieces_.begin(), pieces_.end(), y, [](qreal v, const Piece& p) { return v < p.top; });
    return after == pieces_.begin() ? 0 : static_cast<std::size_t>(after - pieces_.begin()) - 1;
}

std::size_t HugeParagraph::PieceAt(const QPointF& at) const {
    std::size_t i = PieceAt(at.y());
    // A line without wrapping runs on through pieces: the one under x.
    while (i > 0 && pieces_[i - 1].bottom > at.y() && left_ + pieces_[i].left > at.x()) --i;
    return i;
}

std::size_t HugeParagraph::PieceOf(int position) const {
    const auto after = std::upper_bound(pieces_.begin(), pieces_.end(), position,
                                        [](int v, const Piece& p) { return v < p.start; });
    return after == pieces_.begin() ? 0 : static_cast<std::size_t>(after - pieces_.begin()) - 1;
}

void HugeParagraph::Draw(QPainter& painter, const QList<QTextLayout::FormatRange>& selections, int cursor,
                         int cursorWidth, const QRectF& clip) const {
    std::size_t i = PieceAt(clip.top());
    while (i > 0 && pieces_[i - 1].bottom > clip.top()) --i;  // pieces along the same line
    for (; i < pieces_.size() && pieces_[i].top <= clip.bottom(); ++i) {
        const Piece& piece = pieces_[i];
        if (piece.bottom < clip.top() || left_ + piece.left > clip.right() || piece.right < clip.left()) continue;
        const QTextLayout& lines = Layout(i);
        // The paragraph's end belongs to its last piece.
        const int reach = piece.length + (i + 1 == pieces_.size() ? 1 : 0);
        painter.save();
        painter.translate(0, piece.top);
        lines.draw(&painter, QPointF(), Clipped(selections, piece.start, reach), clip.translated(0, -piece.top));
        if (cursor >= piece.start && cursor < piece.start + reach)
            lines.drawCursor(&painter, QPointF(), cursor - piece.start, cursorWidth);
        painter.restore();
    }
}

int HugeParagraph::HitTest(const QPointF& at) const {
    const std::size_t i = PieceAt(at);
    const Piece& piece = pieces_[i];
    const QTextLayout& lines = Layout(i);
    const qreal y = at.y() - piece.top;
    for (int k = 0; k < lines.lineCount(); ++k) {
        const QTextLine line = lines.lineAt(k);
        if (y < line.y() + line.height() || k + 1 == lines.lineCount())
            return piece.start + std::min(line.xToCursor(at.x()), piece.length - (i + 1 == pieces_.size() ? 0 : 1));
    }
    return piece.start;
}

QRectF HugeParagraph::CaretRect(int position) const {
    const std::size_t i = PieceOf(position);
    const Piece& piece = pieces_[i];
    const QTextLayout& lines = Layout(i);
    const QTextLine line = lines.lineForTextPosition(position - piece.start);
    if (!line.isValid()) return {left_, piece.top, 1, 1};
    return {line.cursorToX(position - piece.start), piece.top + line.y(), 1, line.height()};
}

std::pair<int, int> HugeParagraph::LineAt(int position) const {
    const std::size_t i = PieceOf(position);
    const Piece& piece = pieces_[i];
    const QTextLayout& lines = Layout(i);
    const QTextLine line = lines.lineForTextPosition(position - piece.start);
    if (!line.isValid()) return {position, position};
    int start = piece.start + line.textStart();
    int end = start + line.textLength();
    if (!Wraps()) {
        // The line goes on through the pieces before and after this one.
        if (line.lineNumber() == 0) start = RowStart(i);
        if (line.lineNumber() + 1 == lines.lineCount()) end = RowEnd(i);
        return {start, end};
    }
    // A wrapped line ends before the space it was broken at, as Qt's End key goes.
    if (end < text_.size() && end > start && text_.at(end - 1).isSpace()) --end;
    return {start, end};
}

int HugeParagraph::RowStart(std::size_t piece) const {
    // A piece of one line (no height of its own) lies wholly on the line it goes on from.
    while (piece > 0 && pieces_[piece - 1].height == 0) --piece;
    if (piece == 0) return 0;
    const QTextLayout& lines = Layout(piece - 1);
    return pieces_[piece - 1].start + lines.lineAt(lines.lineCount() - 1).textStart();
}

int HugeParagraph::RowEnd(std::size_t piece) const {
    if (piece + 1 == pieces_.size()) return static_cast<int>(text_.size());
    for (++piece; piece + 1 < pieces_.size() && pieces_[piece].height == 0;) ++piece;
    const QTextLine first = Layout(piece).lineAt(0);
    return pieces_[piece].start + first.textStart() + first.textLength();
}

int HugeParagraph::VisualStep(int position, bool right) const {
    const std::size_t i = PieceOf(position);
    const Piece& piece = pieces_[i];
    const QTextLayout& lines = Layout(i);
    const int local = position - piece.start;
    const int moved = right ? lines.rightCursorPosition(local) : lines.leftCursorPosition(local);
    if (moved != local) return piece.start + moved;
    // At a piece's first character: on into the piece before, in the paragraph's direction.
    const bool forward = right == (option_.textDirection() != Qt::RightToLeft);
    if (forward || i == 0) return position;
    const QTextLayout& before = Layout(i - 1);
    return pieces_[i - 1].start + before.previousCursorPosition(pieces_[i - 1].length);
}

bool HugeParagraph::SetPreedit(int position, const QString& text) {
    if (text.isEmpty()) position = -1;
    if (position == preeditAt_ && text == preedit_) return false;
    // The pieces that held it and that hold it now are laid out again when next shown.
    for (const int at : {preeditAt_, position}) {
        if (at < 0) continue;
        const std::size_t piece = PieceOf(at);
        shown_.remove_if([piece](const auto& p) { return p.first == piece; });
    }
    preeditAt_ = position;
    preedit_ = text;
    return true;
}

}  // namespace moratutor::ui

#include "HugeParagraph.h"

#include "WholeWords.h"

#include <QPainter>
#include <QTextBlock>

#include <algorithm>

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
    LayOutFrom(0, {}, progress);
}

void HugeParagraph::LayOutFrom(int start, std::vector<Piece> later, const std::function<void(int, int)>& progress) {
    // Piece after piece, each from the start of the last line of the one before: where the
    // next line starts depends only on the text from there on, so the lines are the whole
    // paragraph's.
    const int length = static_cast<int>(text_.size());
    auto resume = later.begin();
    while (start < length) {
        while (resume != later.end() && resume->start < start) ++resume;
        if (resume != later.end() && resume->start == start) {
            // From here on the text and its lines are as they were.
            for (; resume != later.end(); ++resume) {
                resume->top = height_;
                pieces_.push_back(*resume);
                height_ += resume->height;
            }
            return;
        }
        const int take = std::min(kPiece, length - start);
        const std::unique_ptr<QTextLayout> lines = LayOut(start, take);
        Piece piece{start, take, height_, 0};
        const int count = lines->lineCount();
        const QTextLine last = lines->lineAt(count - 1);
        if (start + take < length && count > 1) {
            piece.length = last.textStart();
            piece.height = last.y();
        } else {
            piece.height = last.y() + last.height();
        }
        for (int i = 0; i < count; ++i) widest_ = std::max(widest_, left_ + lines->lineAt(i).naturalTextWidth());
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
    pieces_.resize(first);
    LayOutFrom(start, std::move(later));
}

std::unique_ptr<QTextLayout> HugeParagraph::LayOut(int start, int length) const {
    auto lines = std::make_unique<QTextLayout>(text_.mid(start, length), font_);
    lines->setTextOption(option_);
    lines->setFormats(Clipped(formats_, start, length));
    lines->setCacheEnabled(true);
    qreal y = 0;
    const QString text = lines->text();
    lines->beginLayout();
    for (;;) {
        QTextLine line = lines->createLine();
        if (!line.isValid()) break;
        line.setLeadingIncluded(true);
        books::SetLineWidthKeepingWords(text, line, width_);
        line.setPosition(QPointF(left_, y));
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
        shown_.emplace_front(piece, LayOut(pieces_[piece].start, pieces_[piece].length));
        if (shown_.size() > kPiecesShown) shown_.pop_back();
    }
    return *shown_.front().second;
}

std::size_t HugeParagraph::PieceAt(qreal y) const {
    const auto after = std::upper_bound(pieces_.begin(), pieces_.end(), y, [](qreal v, const Piece& p) { return v < p.top; });
    return after == pieces_.begin() ? 0 : static_cast<std::size_t>(after - pieces_.begin()) - 1;
}

std::size_t HugeParagraph::PieceOf(int position) const {
    const auto after = std::upper_bound(pieces_.begin(), pieces_.end(), position,
                                        [](int v, const Piece& p) { return v < p.start; });
    return after == pieces_.begin() ? 0 : static_cast<std::size_t>(after - pieces_.begin()) - 1;
}

void HugeParagraph::Draw(QPainter& painter, const QList<QTextLayout::FormatRange>& selections, int cursor,
                         int cursorWidth, const QRectF& clip) const {
    for (std::size_t i = PieceAt(clip.top()); i < pieces_.size() && pieces_[i].top <= clip.bottom(); ++i) {
        const Piece& piece = pieces_[i];
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
    const std::size_t i = PieceAt(at.y());
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
    const QTextLine line = Layout(i).lineForTextPosition(position - piece.start);
    if (!line.isValid()) return {position, position};
    const int start = piece.start + line.textStart();
    int end = start + line.textLength();
    // A wrapped line ends before the space it was broken at, as Qt's End key goes.
    if (end < text_.size() && end > start && text_.at(end - 1).isSpace()) --end;
    return {start, end};
}

}  // namespace moratutor::ui

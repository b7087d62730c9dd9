#include "PaneLayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <optional>

#include "HugeParagraph.h"
#include "moratutor/books/WholeWords.h"
#include "PaneDocument.h"

namespace moratutor::ui {
namespace {

// Paragraphs that keep their lines once shown; beyond it the ones farthest from the view
// give theirs up (their heights stay known).
constexpr std::size_t kParagraphsWithLines = 3000;

// A paragraph longer than this keeps its glyphs between paints (some 35 bytes a character),
// since shaping it anew at every paint takes longer than a paint may; only the last few
// such paragraphs laid out keep them.
constexpr int kLongParagraph = 1 << 16;
constexpr std::size_t kLongParagraphsKept = 2;

// A paragraph longer than this is laid out outside a paint, under the busy cursor.
constexpr int kHugeParagraph = 1 << 20;

// Lines of a paragraph at the height its format asks for.
qreal LineAdvance(const QTextBlockFormat& format, const QTextLine& line) {
    const qreal natural = line.height();
    switch (format.lineHeightType()) {
        case QTextBlockFormat::ProportionalHeight:
            return natural * format.lineHeight() / 100;
        case QTextBlockFormat::FixedHeight:
            return format.lineHeight();
        case QTextBlockFormat::MinimumHeight:
            return std::max(natural, format.lineHeight());
        case QTextBlockFormat::LineDistanceHeight:
            return natural + format.lineHeight();
        default:
            return natural;
    }
}

qreal LeftInset(const QTextBlockFormat& format, Qt::LayoutDirection direction, qreal indentWidth) {
    const qreal indent = format.indent() * indentWidth;
    return format.leftMargin() + (direction == Qt::RightToLeft ? 0 : indent);
}

qreal RightInset(const QTextBlockFormat& format, Qt::LayoutDirection direction, qreal indentWidth) {
    const qreal indent = format.indent() * indentWidth;
    return format.rightMargin() + (direction == Qt::RightToLeft ? indent : 0);
}

}  // namespace

void WidenUnwrapped(QTextLine& line, const QTextOption& option) {
    // As in Qt's layout: an unwrapped line wider than the pane is as wide as its text, so
    // that centring or right alignment does not push its start out of the pane.
    const bool wraps = option.wrapMode() != QTextOption::NoWrap && option.wrapMode() != QTextOption::ManualWrap;
    if (!wraps && line.naturalTextWidth() > line.width()) line.setLineWidth(line.naturalTextWidth());
}

PaneLayout::PaneLayout(QTextDocument* document, QTextEdit* pane) : QAbstractTextDocumentLayout(document), pane_(pane) {
    settings_ = CurrentSettings();
    formatsChecked_ = document->allFormats().size();
    ResetAll();
}

PaneLayout::~PaneLayout() = default;

bool PaneLayout::Suits(const QTextDocument& document) {
    if (!document.rootFrame()->childFrames().isEmpty()) return false;
    const QList<QTextFormat> formats = document.allFormats();
    return std::none_of(formats.begin(), formats.end(), [](const QTextFormat& format) {
        return format.isListFormat() || format.isTableFormat() || format.isTableCellFormat() ||
               (format.isCharFormat() && format.objectType() != QTextFormat::NoObject) ||
               (format.isBlockFormat() && format.hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth));
    });
}

void PaneLayout::Install(QTextDocument& document, QTextEdit& pane) {
    // Asked for its layout, a document without one makes Qt's and lays the text out with it.
    auto* current = dynamic_cast<PaneLayout*>(
        document.findChild<QAbstractTextDocumentLayout*>(QString(), Qt::FindDirectChildrenOnly));
    if (!Suits(document)) {
        if (current) document.setDocumentLayout(nullptr);
        return;
    }
    if (current && current->pane_ == &pane) return;
    document.setDocumentLayout(new PaneLayout(&document, &pane));
}

PaneLayout::Settings PaneLayout::CurrentSettings() const {
    const QTextDocument* document = this->document();
    const QTextOption option = document->defaultTextOption();
    Settings settings;
    settings.pageWidth = document->pageSize().width();
    settings.margin = document->documentMargin();
    settings.indentWidth = document->indentWidth();
    settings.tabStop = option.tabStopDistance();
    settings.wrap = option.wrapMode();
    settings.alignment = option.alignment();
    settings.font = document->defaultFont().toString();
    return settings;
}

PaneLayout::Paragraph PaneLayout::Estimate(const QTextBlock& block, qreal previousBottom) const {
    if (!block.isVisible()) return {};
    const QTextBlockFormat format = block.blockFormat();
    Paragraph paragraph;
    // As in Qt's layout: the first paragraph's top margin is not added to the document's.
    paragraph.gap = static_cast<float>(previousBottom < 0 ? 0 : std::max(format.topMargin(), previousBottom));
    const qreal available = ContentWidth() - LeftInset(format, Qt::LeftToRight, settings_.indentWidth) -
                            RightInset(format, Qt::LeftToRight, settings_.indentWidth);
    qreal lines = 1;
    if (settings_.wrap != QTextOption::NoWrap && settings_.wrap != QTextOption::ManualWrap && settings_.pageWidth > 0 &&
        available > 8 * characterWidth_) {
        // A line breaks between words, leaving on average half a word's room unused.
        const qreal filled = available - 3 * characterWidth_;
        lines = std::max<qreal>(1, std::ceil(((block.length() - 1) * characterWidth_ + format.textIndent()) / filled));
    }
    paragraph.height = static_cast<float>(lines * lineHeight_);
    return paragraph;
}

qreal PaneLayout::ContentWidth() const { return std::max<qreal>(0, settings_.pageWidth - 2 * settings_.margin); }

void PaneLayout::ResetAll() {
    paintedSinceReset_ = false;
    const QTextDocument* document = this->document();
    // The width of a character of this text in the default font, from its start (the
    // font's own average is for Latin letters).
    // Read a character at a time: a cursor or a paragraph's text would lay out or copy a
    // whole paragraph, which may be the whole book.
    QString sample;
    const int sampled = std::min(2000, document->characterCount() - 1);
    sample.reserve(sampled);
    for (int i = 0; i < sampled; ++i) sample += document->characterAt(i);
    if (sample.trimmed().isEmpty()) sample = QStringLiteral("Съешь же ещё этих мягких французских булок, да выпей чаю.");
    characterWidth_ = std::max<qreal>(1, QFontMetricsF(document->defaultFont()).horizontalAdvance(sample) / sample.size());
    // The height a line of the default font is given when laid out, which the font's
    // metrics give only to within a rounding; a long text sums the difference.
    QTextLayout probe(QStringLiteral("Ж"), document->defaultFont());
    probe.beginLayout();
    QTextLine line = probe.createLine();
    line.setLeadingIncluded(true);
    probe.endLayout();
    lineHeight_ = line.height();
    paragraphs_.clear();
    paragraphs_.reserve(static_cast<std::size_t>(document->blockCount()));
    qreal previousBottom = -1;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        block.clearLayout();
        paragraphs_.push_back(Estimate(block, previousBottom));
        previousBottom = block.blockFormat().bottomMargin();
    }
    tops_.assign(paragraphs_.size() + 1, 0);
    tops_[0] = settings_.margin;
    topsValid_ = 1;
    widest_ = 0;
    withLines_.clear();
    for (const int number : longWithGlyphs_) ReleaseGlyphs(number);
    longWithGlyphs_.clear();
    huge_.clear();
}

qreal PaneLayout::Top(int number) const {
    const auto wanted = static_cast<std::size_t>(std::clamp<int>(number, 0, static_cast<int>(paragraphs_.size())));
    for (; topsValid_ <= wanted; ++topsValid_) {
        const Paragraph& above = paragraphs_[topsValid_ - 1];
        tops_[topsValid_] = tops_[topsValid_ - 1] + above.gap + above.height;
    }
    return tops_[wanted];
}

QPointF PaneLayout::Origin(int number) const {
    return {settings_.margin, Top(number) + paragraphs_[static_cast<std::size_t>(number)].gap};
}

int PaneLayout::NumberAt(qreal y) const {
    const int count = static_cast<int>(paragraphs_.size());
    if (count == 0) return 0;
    Top(count);
    // The last paragraph whose top is at or above y.
    const auto after = std::upper_bound(tops_.begin() + 1, tops_.begin() + count, y);
    return static_cast<int>(after - tops_.begin()) - 1;
}

qreal PaneLayout::Bottom() const {
    // As in Qt's layout: the last paragraph's bottom margin is not added to the document's.
    return Top(static_cast<int>(paragraphs_.size())) + settings_.margin;
}

bool PaneLayout::IsHuge(const QTextBlock& block) { return block.length() > kHugeParagraph; }

QRectF PaneLayout::CaretRect(int position) const {
    InStep();
    const QTextBlock block = document()->findBlock(position);
    if (!block.isValid()) return {};
    const int number = block.blockNumber();
    EnsureLines(block, number);
    const QPointF origin = Origin(number);
    if (const auto huge = huge_.find(number); huge != huge_.end())
        return huge->second->CaretRect(position - block.position()).translated(origin);
    const QTextLine line = block.layout()->lineForTextPosition(position - block.position());
    if (!line.isValid()) return {origin, QSizeF(1, lineHeight_)};
    return {origin + QPointF(line.cursorToX(position - block.position()), line.y()), QSizeF(1, line.height())};
}

std::pair<int, int> PaneLayout::HugeLineAt(int position) const {
    const QTextBlock block = document()->findBlock(position);
    const int number = block.blockNumber();
    EnsureLines(block, number);
    const auto huge = huge_.find(number);
    if (huge == huge_.end()) return {position, position};
    const auto [start, end] = huge->second->LineAt(position - block.position());
    return {block.position() + start, block.position() + end};
}

int PaneLayout::HugeStep(int position, bool right) const {
    const QTextBlock block = document()->findBlock(position);
    const int number = block.blockNumber();
    EnsureLines(block, number);
    const auto huge = huge_.find(number);
    if (huge == huge_.end()) return position;
    return block.position() + huge->second->VisualStep(position - block.position(), right);
}

QTextBlock PaneLayout::BlockAt(qreal y) const {
    InStep();
    return document()->findBlockByNumber(NumberAt(y));
}

void PaneLayout::SetHeight(int number, const Paragraph& paragraph) const {
    paragraphs_[static_cast<std::size_t>(number)] = paragraph;
    topsValid_ = std::min(topsValid_, static_cast<std::size_t>(number) + 1);
}

void PaneLayout::InStep() const {
    if (document()->blockCount() == static_cast<int>(paragraphs_.size())) return;
    // Asked in the middle of an edit, before the document reports it: estimated afresh.
    const_cast<PaneLayout*>(this)->ResetAll();
}

bool PaneLayout::EnsureLines(const QTextBlock& block, int number) const {
    if (number < 0 || static_cast<std::size_t>(number) >= paragraphs_.size()) return false;
    QTextLayout* lines = block.layout();
    const Paragraph& known = paragraphs_[static_cast<std::size_t>(number)];
    const bool huge = block.length() > kHugeParagraph;
    if (!block.isVisible()) return false;
    if (known.measured && (huge ? huge_.count(number) > 0 : lines->lineCount() > 0)) {
        // Where the paragraph stands now: screen readers and magnifiers read a character's
        // place from its layout's position.
        if (!huge) lines->setPosition(Origin(number));
        return false;
    }
    // A document just given to its pane has no width yet; the pane sets it at once, and
    // lines made before would be made again.
    if (pane_ && settings_.pageWidth < 0) return false;
    if (huge) {
        // A paragraph of a million characters takes seconds: not inside a paint, where the
        // window could show nothing of it, but just after, under the busy cursor.
        if (drawing_) {
            hugeWaiting_ = true;
            return false;
        }
        return MakeHuge(block, number, FrameOf(block));
    }
    return LayOutLines(block, number, FrameOf(block));
}

PaneLayout::LineFrame PaneLayout::FrameOf(const QTextBlock& block) const {
    const QTextBlockFormat format = block.blockFormat();
    LineFrame frame;
    frame.direction = block.textDirection();
    frame.option = document()->defaultTextOption();
    frame.option.setTextDirection(frame.direction);
    frame.option.setTabs(format.tabPositions());
    Qt::Alignment alignment = frame.option.alignment();
    if (format.hasProperty(QTextFormat::BlockAlignment)) alignment = format.alignment();
    frame.option.setAlignment(QStyle::visualAlignment(frame.direction, alignment));
    if (format.nonBreakableLines() || settings_.pageWidth < 0) frame.option.setWrapMode(QTextOption::ManualWrap);
    frame.left = LeftInset(format, frame.direction, settings_.indentWidth);
    frame.available =
        std::max<qreal>(0, ContentWidth() - frame.left - RightInset(format, frame.direction, settings_.indentWidth));
    return frame;
}

bool PaneLayout::MakeHuge(const QTextBlock& block, int number, const LineFrame& frame) const {
    // Asked from within the pane's own handling of a key or the caret: the busy cursor
    // without letting other events in.
    const BusyCursor busy(false);
    std::optional<ProgressDisplay> shown;
    if (pane_) shown.emplace(WaitDisplayOf(*pane_));
    auto paragraph = std::make_unique<HugeParagraph>(block, document()->defaultFont(), frame.option, frame.left,
                                                     frame.available, [&shown](int done, int total) {
                                                         if (shown) shown->Step(done, total);
                                                     });
    widest_ = std::max(widest_, 2 * settings_.margin + paragraph->NaturalWidth() + block.blockFormat().rightMargin());
    Paragraph measured = paragraphs_[static_cast<std::size_t>(number)];
    const bool changed = static_cast<float>(paragraph->Height()) != measured.height;
    measured.height = static_cast<float>(paragraph->Height());
    measured.measured = true;
    huge_[number] = std::move(paragraph);
    SetHeight(number, measured);
    return changed;
}

bool PaneLayout::LayOutLines(const QTextBlock& block, int number, const LineFrame& frame) const {
    const QTextBlockFormat format = block.blockFormat();
    QTextLayout* lines = block.layout();
    lines->setTextOption(frame.option);
    // Without its shaped glyphs kept, a long paragraph is shaped anew, whole, at every paint.
    const bool longParagraph = block.length() > kLongParagraph;
    lines->setCacheEnabled(longParagraph);

    qreal y = 0;
    const QString text = block.text();
    lines->beginLayout();
    for (bool first = true;; first = false) {
        QTextLine line = lines->createLine();
        if (!line.isValid()) break;
        line.setLeadingIncluded(true);
        const qreal indent = first ? format.textIndent() : 0;
        books::SetLineWidthKeepingWords(text, line, std::max<qreal>(0, frame.available - indent));
        WidenUnwrapped(line, frame.option);
        line.setPosition(QPointF(frame.left + (frame.direction == Qt::RightToLeft ? 0 : indent), y));
        y += LineAdvance(format, line);
        widest_ = std::max(widest_, 2 * settings_.margin + frame.left + indent + line.naturalTextWidth() + format.rightMargin());
    }
    lines->endLayout();

    Paragraph measured = paragraphs_[static_cast<std::size_t>(number)];
    const bool changed = static_cast<float>(y) != measured.height;
    measured.height = static_cast<float>(y);
    measured.measured = true;
    SetHeight(number, measured);
    lines->setPosition(Origin(number));
    withLines_.push_back(number);
    if (longParagraph) KeepGlyphsOf(number);
    return changed;
}

void PaneLayout::KeepGlyphsOf(int number) const {
    std::erase(longWithGlyphs_, number);
    longWithGlyphs_.push_back(number);
    while (longWithGlyphs_.size() > kLongParagraphsKept) {
        ReleaseGlyphs(longWithGlyphs_.front());
        longWithGlyphs_.erase(longWithGlyphs_.begin());
    }
}

void PaneLayout::ReleaseGlyphs(int number) const {
    // Numbers recorded before an edit may name other paragraphs now; a paragraph that gives
    // up its lines wrongly only lays them out again when next needed.
    const QTextBlock block = document()->findBlockByNumber(number);
    if (!block.isValid()) return;
    // The glyphs go with a layout made and ended without keeping them; the lines go too,
    // the height stays known.
    QTextLayout* lines = block.layout();
    lines->setCacheEnabled(false);
    lines->beginLayout();
    lines->endLayout();
}

void PaneLayout::EnsureAround(const QTextBlock& block, int number, qreal reach) const {
    EnsureLines(block, number);
    qreal covered = 0;
    int k = number - 1;
    for (QTextBlock b = block.previous(); b.isValid() && covered < reach; b = b.previous(), --k) {
        EnsureLines(b, k);
        covered += paragraphs_[static_cast<std::size_t>(k)].gap + paragraphs_[static_cast<std::size_t>(k)].height;
    }
    covered = 0;
    k = number + 1;
    for (QTextBlock b = block.next(); b.isValid() && covered < reach; b = b.next(), ++k) {
        EnsureLines(b, k);
        covered += paragraphs_[static_cast<std::size_t>(k)].gap + paragraphs_[static_cast<std::size_t>(k)].height;
    }
}

qreal PaneLayout::ViewTop() const { return pane_ ? pane_->verticalScrollBar()->value() : 0; }

qreal PaneLayout::ViewHeight() const { return pane_ ? std::max(1, pane_->viewport()->height()) : 600; }

QSizeF PaneLayout::documentSize() const {
    InStep();
    const bool wraps = settings_.wrap != QTextOption::NoWrap && settings_.wrap != QTextOption::ManualWrap && settings_.pageWidth > 0;
    const qreal width = wraps ? settings_.pageWidth : std::max(settings_.pageWidth, widest_);
    return {width, Bottom()};
}

QRectF PaneLayout::frameBoundingRect(QTextFrame* frame) const {
    if (frame != document()->rootFrame()) return {};
    return {QPointF(), documentSize()};
}

QRectF PaneLayout::blockBoundingRect(const QTextBlock& block) const {
    if (!block.isValid() || !block.isVisible() || block.document() != document()) return {};
    InStep();
    const int number = block.blockNumber();
    // Until the pane has painted after a change of its width, its width may change again (a
    // scroll bar coming or going): a long paragraph's lines wait for that paint.
    if (!paintedSinceReset_ && block.length() > kLongParagraph)
        return {Origin(number), QSizeF(ContentWidth(), paragraphs_[static_cast<std::size_t>(number)].height)};
    // The paragraphs about it too: the view that is about to show it shows them as well, and
    // they are then measured before their positions are used.
    EnsureAround(block, number, ViewHeight());
    // The pane is about to scroll to it: its range must already reach that far.
    if (!drawing_) EmitSizeIfChanged();
    ScheduleSettle();
    // A huge paragraph has no lines of Qt's: asked about the caret's paragraph, as the pane
    // asks to show the caret, the answer is the caret's line, the only place it can use.
    if (const auto huge = huge_.find(number); huge != huge_.end() && pane_ && pane_->textCursor().block() == block) {
        // From the caret's x, so that the pane scrolls sideways to it and an input method
        // opens its window there.
        const QRectF caret = huge->second->CaretRect(pane_->textCursor().position() - block.position());
        return {Origin(number) + caret.topLeft(), QSizeF(ContentWidth(), caret.height())};
    }
    return {Origin(number), QSizeF(ContentWidth(), paragraphs_[static_cast<std::size_t>(number)].height)};
}

void PaneLayout::documentChanged(int from, int charsRemoved, int charsAdded) {
    QTextDocument* document = this->document();
    const Settings now = CurrentSettings();
    const int count = document->blockCount();
    const bool sameSettings = now == settings_;
    settings_ = now;

    if (sameSettings && charsRemoved == 0 && charsAdded == document->characterCount() &&
        count == static_cast<int>(paragraphs_.size())) {
        // Only asked to lay out again, with nothing changed it depends on.
        return;
    }
    // A format new to the document may be a picture, a rule, a list or a table, even when
    // it came with a single character: then Qt's own layout draws what this one does not.
    if (const qsizetype formats = document->allFormats().size(); charsAdded > 0 && formats != formatsChecked_) {
        formatsChecked_ = formats;
        if (!Suits(*document))
            QMetaObject::invokeMethod(
                document, [document] { document->setDocumentLayout(nullptr); }, Qt::QueuedConnection);
    }

    const QTextBlock first = document->findBlock(from);
    QTextBlock last = document->findBlock(from + charsAdded);
    if (!last.isValid()) last = document->lastBlock();
    const int firstNumber = first.blockNumber(), lastNumber = last.blockNumber();
    if (sameSettings && first == last && count == static_cast<int>(paragraphs_.size()) &&
        UpdateHuge(first, from, charsRemoved, charsAdded))
        return;
    const int oldLast = lastNumber - (count - static_cast<int>(paragraphs_.size()));
    if (!sameSettings || !first.isValid() || oldLast < firstNumber - 1 || oldLast >= static_cast<int>(paragraphs_.size())) {
        ResetAll();
        emit update(QRectF(0, 0, 1e9, 1e9));
        EmitSizeIfChanged();
        return;
    }
    Reestimate(first, last, oldLast);
    emit update(QRectF(0, Top(firstNumber), 1e9, 1e9));
    EmitSizeIfChanged();
}

bool PaneLayout::UpdateHuge(const QTextBlock& first, int from, int charsRemoved, int charsAdded) {
    // An edit within a huge paragraph lays out again only the pieces about it.
    const int number = first.blockNumber();
    const auto huge = huge_.find(number);
    if (huge == huge_.end() || !IsHuge(first)) return false;
    const QTextLayout* lines = first.layout();
    // Text being composed is announced as a change of the whole paragraph: only the piece
    // holding it is laid out again.
    if (!(charsRemoved == charsAdded && from == first.position() &&
          huge->second->SetPreedit(lines->preeditAreaPosition(), lines->preeditAreaText())))
        huge->second->Update(first, from - first.position(), charsRemoved, charsAdded);
    Paragraph& paragraph = paragraphs_[static_cast<std::size_t>(number)];
    paragraph.height = static_cast<float>(huge->second->Height());
    topsValid_ = std::min(topsValid_, static_cast<std::size_t>(number) + 1);
    emit update(QRectF(0, Top(number), 1e9, 1e9));
    EmitSizeIfChanged();
    return true;
}

void PaneLayout::Reestimate(const QTextBlock& first, const QTextBlock& last, int oldLast) {
    const int firstNumber = first.blockNumber(), lastNumber = last.blockNumber();
    std::vector<Paragraph> changed;
    qreal previousBottom = first.previous().isValid() ? first.previous().blockFormat().bottomMargin() : -1;
    for (QTextBlock block = first;; block = block.next()) {
        block.clearLayout();
        changed.push_back(Estimate(block, previousBottom));
        previousBottom = block.blockFormat().bottomMargin();
        if (block == last) break;
    }
    huge_.erase(huge_.lower_bound(firstNumber), huge_.end());
    const auto begin = paragraphs_.begin() + firstNumber;
    paragraphs_.erase(begin, paragraphs_.begin() + oldLast + 1);
    paragraphs_.insert(paragraphs_.begin() + firstNumber, changed.begin(), changed.end());
    // The next paragraph's gap follows this one's bottom margin.
    if (const QTextBlock next = last.next(); next.isValid()) {
        paragraphs_[static_cast<std::size_t>(lastNumber) + 1].gap = Estimate(next, previousBottom).gap;
    }
    tops_.resize(paragraphs_.size() + 1);
    topsValid_ = std::min(topsValid_, static_cast<std::size_t>(firstNumber) + 1);
}

void PaneLayout::EmitSizeIfChanged() const {
    const QSizeF size = documentSize();
    if (size == reportedSize_) return;
    reportedSize_ = size;
    emit const_cast<PaneLayout*>(this)->documentSizeChanged(size);
}

void PaneLayout::ScheduleSettle() const {
    if (settleScheduled_) return;
    settleScheduled_ = true;
    auto* self = const_cast<PaneLayout*>(this);
    QMetaObject::invokeMethod(self, [self] { self->Settle(); }, Qt::QueuedConnection);
}

void PaneLayout::Settle() {
    settleScheduled_ = false;
    InStep();
    if (!pane_ || pane_->document() != document() || paragraphs_.empty()) {
        EmitSizeIfChanged();
        return;
    }
    if (hugeWaiting_) {
        hugeWaiting_ = false;
        const BusyCursor busy;
        const int first = NumberAt(ViewTop());
        int k = first;
        for (QTextBlock b = document()->findBlockByNumber(first); b.isValid() && Top(k) < ViewTop() + ViewHeight();
             b = b.next(), ++k)
            EnsureLines(b, k);
        emit const_cast<PaneLayout*>(this)->update(QRectF(0, 0, 1e9, 1e9));
    }
    const qreal top = ViewTop(), height = ViewHeight();
    const int firstShown = NumberAt(top);
    const QTextBlock shown = document()->findBlockByNumber(firstShown);

    // Just above the view, bottom up: what turns out taller or shorter moves the view with it.
    qreal shift = 0, covered = 0;
    int k = firstShown - 1;
    for (QTextBlock b = shown.previous(); b.isValid() && covered < height; b = b.previous(), --k) {
        const Paragraph before = paragraphs_[static_cast<std::size_t>(k)];
        EnsureLines(b, k);
        const Paragraph& after = paragraphs_[static_cast<std::size_t>(k)];
        shift += after.height - before.height;
        covered += after.gap + after.height;
    }
    // The view and as much again below it.
    k = firstShown;
    int lastShown = firstShown;
    for (QTextBlock b = shown; b.isValid() && Top(k) < top + shift + 2 * height; b = b.next(), ++k) {
        EnsureLines(b, k);
        if (Top(k) < top + shift + height) lastShown = k;
    }

    EmitSizeIfChanged();
    if (const int moveBy = qRound(shift); moveBy != 0) {
        QScrollBar* bar = pane_->verticalScrollBar();
        bar->setValue(bar->value() + moveBy);
    }
    settleScheduled_ = false;  // the moves above may have asked again for what is done now
    ForgetDistantLines(firstShown, lastShown);
}

void PaneLayout::ForgetDistantLines(int firstShown, int lastShown) const {
    if (withLines_.size() <= 2 * kParagraphsWithLines) return;
    // Numbers recorded before an edit may name other paragraphs now: a paragraph that loses
    // its lines wrongly only lays them out again when next needed.
    const int keepFrom = firstShown - static_cast<int>(kParagraphsWithLines / 2);
    const int keepTo = lastShown + static_cast<int>(kParagraphsWithLines / 2);
    std::vector<int> kept;
    const std::size_t dropUpTo = withLines_.size() - kParagraphsWithLines;
    for (std::size_t i = 0; i < withLines_.size(); ++i) {
        const int number = withLines_[i];
        if (i >= dropUpTo || (number >= keepFrom && number <= keepTo)) {
            kept.push_back(number);
            continue;
        }
        QTextBlock block = document()->findBlockByNumber(number);
        if (block.isValid()) block.clearLayout();
    }
    withLines_ = std::move(kept);
}

}  // namespace moratutor::ui

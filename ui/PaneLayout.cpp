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
#include "WholeWords.h"
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

PaneLayout::PaneLayout(QTextDocument* document, QTextEdit* pane) : QAbstractTextDocumentLayout(document), pane_(pane) {
    settings_ = CurrentSettings();
    ResetAll();
}

PaneLayout::~PaneLayout() = default;

bool PaneLayout::Suits(const QTextDocument& document) {
    if (!document.rootFrame()->childFrames().isEmpty()) return false;
    const QList<QTextFormat> formats = document.allFormats();
    return std::none_of(formats.begin(), formats.end(), [](const QTextFormat& format) {
        return format.isListFormat() || format.isTableFormat() || format.isTableCellFormat() ||
               (format.isCharFormat() && format.objectType() != QTextFormat::NoObject);
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
    Paragraph& known = paragraphs_[static_cast<std::size_t>(number)];
    const bool huge = block.length() > kHugeParagraph;
    if (!block.isVisible() || (known.measured && (huge ? huge_.count(number) > 0 : lines->lineCount() > 0))) return false;
    // A document just given to its pane has no width yet; the pane sets it at once, and
    // lines made before would be made again.
    if (pane_ && settings_.pageWidth < 0) return false;
    // A paragraph of a million characters takes seconds: not inside a paint, where the
    // window could show nothing of it, but just after, under the busy cursor.
    std::optional<BusyCursor> busy;
    if (huge) {
        if (drawing_) {
            hugeWaiting_ = true;
            return false;
        }
        // Asked from within the pane's own handling of a key or the caret: the busy cursor
        // without letting other events in.
        busy.emplace(false);
    }

    const QTextBlockFormat format = block.blockFormat();
    const Qt::LayoutDirection direction = block.textDirection();
    QTextOption option = document()->defaultTextOption();
    option.setTextDirection(direction);
    option.setTabs(format.tabPositions());
    Qt::Alignment alignment = option.alignment();
    if (format.hasProperty(QTextFormat::BlockAlignment)) alignment = format.alignment();
    option.setAlignment(QStyle::visualAlignment(direction, alignment));
    if (format.nonBreakableLines() || settings_.pageWidth < 0) option.setWrapMode(QTextOption::ManualWrap);
    const qreal left = LeftInset(format, direction, settings_.indentWidth);
    const qreal available = std::max<qreal>(0, ContentWidth() - left - RightInset(format, direction, settings_.indentWidth));
    if (huge) {
        std::optional<ProgressDisplay> shown;
        if (pane_) shown.emplace(WaitDisplayOf(*pane_));
        auto paragraph = std::make_unique<HugeParagraph>(block, document()->defaultFont(), option, left, available,
                                                         [&shown](int done, int total) {
                                                             if (shown) shown->Step(done, total);
                                                         });
        widest_ = std::max(widest_, 2 * settings_.margin + paragraph->NaturalWidth() + format.rightMargin());
        Paragraph measured = known;
        measured.height = static_cast<float>(paragraph->Height());
        measured.measured = true;
        const bool changed = measured.height != known.height;
        huge_[number] = std::move(paragraph);
        SetHeight(number, measured);
        return changed;
    }
    lines->setTextOption(option);

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
        books::SetLineWidthKeepingWords(text, line, std::max<qreal>(0, available - indent));
        line.setPosition(QPointF(left + (direction == Qt::RightToLeft ? 0 : indent), y));
        y += LineAdvance(format, line);
        widest_ = std::max(widest_, 2 * settings_.margin + left + indent + line.naturalTextWidth() + format.rightMargin());
    }
    lines->endLayout();

    Paragraph measured = known;
    measured.height = static_cast<float>(y);
    measured.measured = true;
    const bool changed = measured.height != known.height;
    SetHeight(number, measured);
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
        const Paragraph& paragraph = paragraphs_[static_cast<std::size_t>(number)];
        if (origin.y() + paragraph.height < clip.top()) continue;

        const QTextLayout* lines = block.layout();
        const auto hugeParagraph = huge_.find(number);
        const bool huge = hugeParagraph != huge_.end();
        if (!huge && lines->lineCount() == 0) continue;  // a huge paragraph not laid out yet
        const int position = block.position(), length = block.length();
        QList<QTextLayout::FormatRange> selections;
        for (const Selection& selection : context.selections) {
            const int start = selection.cursor.selectionStart() - position;
            const int end = selection.cursor.selectionEnd() - position;
            if (start < length && end > 0 && end > start) {
                selections.append({start, end - start, selection.format});
            } else if (!huge && !selection.cursor.hasSelection() && selection.format.hasProperty(QTextFormat::FullWidthSelection) &&
                       block.contains(selection.cursor.position())) {
                const QTextLine line = lines->lineForTextPosition(selection.cursor.position() - position);
                QTextLayout::FormatRange range{line.textStart(), line.textLength(), selection.format};
                if (range.start + range.length == length - 1) ++range.length;  // the paragraph's end too
                selections.append(range);
            }
        }

        painter->save();
        painter->translate(origin);
        const QBrush background = block.blockFormat().background();
        if (background.style() != Qt::NoBrush)
            painter->fillRect(QRectF(0, 0, ContentWidth(), paragraph.height), background);
        painter->setPen(context.palette.color(QPalette::Text));
        if (huge) {
            const int cursor = context.cursorPosition >= position && context.cursorPosition < position + length
                                   ? context.cursorPosition - position
                                   : -1;
            hugeParagraph->second->Draw(*painter, selections, cursor, cursorWidth, clip.translated(-origin));
            painter->restore();
            continue;
        }
        lines->draw(painter, QPointF(), selections, clip.translated(-origin));
        int cursor = context.cursorPosition;
        if (cursor < -1 && !lines->preeditAreaText().isEmpty()) cursor = position + lines->preeditAreaPosition() - (cursor + 2);
        if (cursor >= position && cursor < position + length) lines->drawCursor(painter, QPointF(), cursor - position, cursorWidth);
        painter->restore();
    }
    drawing_ = false;
    ScheduleSettle();
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
        if (accuracy == Qt::ExactHit &&
            (at.y() < line.y() || at.y() >= line.y() + line.height() || at.x() < line.x() || at.x() > line.x() + line.naturalTextWidth()))
            return -1;
        return block.position() + line.xToCursor(at.x());
    }
    return -1;
}

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
        const QRectF line = huge->second->CaretRect(pane_->textCursor().position() - block.position());
        return {Origin(number) + QPointF(0, line.top()), QSizeF(ContentWidth(), line.height())};
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
    if (charsAdded > 1 && !Suits(*document)) {
        // A rich paste: Qt's own layout draws what this one does not.
        QMetaObject::invokeMethod(
            document, [document] { document->setDocumentLayout(nullptr); }, Qt::QueuedConnection);
    }

    const QTextBlock first = document->findBlock(from);
    QTextBlock last = document->findBlock(from + charsAdded);
    if (!last.isValid()) last = document->lastBlock();
    const int firstNumber = first.blockNumber(), lastNumber = last.blockNumber();
    // An edit within a huge paragraph lays out again only the pieces about it.
    if (const auto huge = huge_.find(firstNumber); sameSettings && huge != huge_.end() && first == last &&
                                                  count == static_cast<int>(paragraphs_.size()) && IsHuge(first)) {
        huge->second->Update(first, from - first.position(), charsRemoved, charsAdded);
        Paragraph& paragraph = paragraphs_[static_cast<std::size_t>(firstNumber)];
        paragraph.height = static_cast<float>(huge->second->Height());
        topsValid_ = std::min(topsValid_, static_cast<std::size_t>(firstNumber) + 1);
        emit update(QRectF(0, Top(firstNumber), 1e9, 1e9));
        EmitSizeIfChanged();
        return;
    }
    const int oldLast = lastNumber - (count - static_cast<int>(paragraphs_.size()));
    if (!sameSettings || !first.isValid() || oldLast < firstNumber - 1 || oldLast >= static_cast<int>(paragraphs_.size())) {
        ResetAll();
        emit update(QRectF(0, 0, 1e9, 1e9));
        EmitSizeIfChanged();
        return;
    }

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
    emit update(QRectF(0, Top(firstNumber), 1e9, 1e9));
    EmitSizeIfChanged();
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

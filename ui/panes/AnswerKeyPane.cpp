#include "AnswerKeyPane.h"

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QEvent>
#include <QHelpEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QToolTip>

#include <algorithm>
#include <iterator>
#include <map>

#include "MarkingColours.h"
#include "PaneLayout.h"
#include "moratutor/SyllableTable.h"

namespace moratutor::ui {

namespace {

QString FromView(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// The block at height y of the document, or the last one above it. The panes' own layout
// knows it; under Qt's (a rich text) the layout of a long document is made in steps from
// the top, and hitTest answers wrongly beyond what is laid out even for points above it. blockBoundingRect lays out as far as it is asked, so the
// search keeps to the blocks laid out already: it must not lay out half a long text at once.
QTextBlock BlockAt(QTextDocument* document, qreal y) {
    if (const auto* lazy = dynamic_cast<const moratutor::ui::PaneLayout*>(document->documentLayout())) return lazy->BlockAt(y);
    const auto laidOut = [document](int number) {
        const QTextLayout* lines = document->findBlockByNumber(number).layout();
        return lines && lines->lineCount() > 0;
    };
    int low = 0, high = document->blockCount() - 1;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (laidOut(middle))
            low = middle;
        else
            high = middle - 1;
    }
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    high = low;
    low = 0;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (layout->blockBoundingRect(document->findBlockByNumber(middle)).top() <= y)
            low = middle;
        else
            high = middle - 1;
    }
    return document->findBlockByNumber(low);
}


}  // namespace

AnswerKeyPane::AnswerKeyPane(QTextEdit* pane) : QObject(pane), pane_(pane), viewport_(pane->viewport()) {
    viewport_->installEventFilter(this);
    const auto update = [this] {
        if (highlight_) UpdateHighlight();
    };
    connect(pane_->verticalScrollBar(), &QScrollBar::valueChanged, this, update);
    connect(pane_->horizontalScrollBar(), &QScrollBar::valueChanged, this, update);
    connect(pane_, &QTextEdit::cursorPositionChanged, this, [this] { pane_->setAccessibleDescription(ToolTipAtCaret()); });
}

AnswerKeyPane::CompactKey AnswerKeyPane::Compact(moratutor::AnswerKey key) {
    constexpr std::uint16_t kKatakana = 0x8000;
    CompactKey compact;
    compact.Entries.reserve(key.size());
    std::map<std::u16string_view, std::uint16_t> known;
    std::vector<std::u16string_view> order;
    for (const moratutor::KeyEntry& entry : key) {
        auto [it, added] = known.emplace(entry.Source(), static_cast<std::uint16_t>(order.size()));
        if (added) {
            order.push_back(entry.Source());
            compact.Sources.emplace_back(entry.Source());
        }
        const std::uint16_t script = entry.Script == moratutor::kmKatakana ? kKatakana : 0;
        compact.Entries.push_back({entry.Offset, entry.Length, entry.Row, static_cast<std::uint16_t>(script | it->second)});
    }
    key.clear();
    key.shrink_to_fit();
    return compact;
}

moratutor::KeyEntry AnswerKeyPane::Expand(const Entry& entry) const {
    moratutor::KeyEntry full;
    full.Offset = entry.Offset;
    full.Length = entry.Length;
    full.Row = entry.Row;
    full.Script = (entry.ScriptAndSource & 0x8000) ? moratutor::kmKatakana : moratutor::kmHiragana;
    const std::u16string& source = key_.Sources[entry.ScriptAndSource & 0x7FFF];
    full.SourceLength = static_cast<std::uint8_t>(source.size());
    std::copy(source.begin(), source.end(), full.SourceUnits.begin());
    return full;
}

moratutor::AnswerKey AnswerKeyPane::Key() const {
    moratutor::AnswerKey key;
    key.reserve(key_.Entries.size());
    for (const Entry& entry : key_.Entries) key.push_back(Expand(entry));
    return key;
}

void AnswerKeyPane::SetKey(moratutor::AnswerKey key, std::u16string_view text) { SetKey(Compact(std::move(key)), text); }

void AnswerKeyPane::SetKey(CompactKey key, std::u16string_view text) {
    ForgetDocument();
    document_ = pane_->document();
    key_ = std::move(key);
    // Every CR LF before an entry is one position less in the document.
    std::uint32_t pairs = 0;
    std::size_t scanned = 0;
    for (Entry& entry : key_.Entries) {
        for (; scanned < entry.Offset && scanned < text.size(); ++scanned)
            if (text[scanned] == u'\r' && scanned + 1 < text.size() && text[scanned + 1] == u'\n') ++pairs;
        entry.Offset -= pairs;
    }
    keyState_ = undoState_ = document_->availableUndoSteps();
    connect(document_, &QTextDocument::contentsChange, this, &AnswerKeyPane::ContentsChanged);
    connect(document_, &QTextDocument::undoCommandAdded, this, [this] { commandAdded_ = true; });
    // A rich paste gives the document Qt's layout in place of the pane's own.
    connect(document_, &QTextDocument::documentLayoutChanged, this, &AnswerKeyPane::FollowLayout);
    FollowLayout();
    // The pane itself may be going when its document goes: only the key is dropped then.
    connect(document_, &QObject::destroyed, this, [this] {
        key_ = {};
        steps_.clear();
    });
    UpdateHighlight();
}

void AnswerKeyPane::FollowLayout() {
    // The layout fills in step by step after a new document: the visible part changes.
    connect(document_->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &AnswerKeyPane::LayoutGrew, Qt::UniqueConnection);
}

void AnswerKeyPane::LayoutGrew() {
    if (highlight_) UpdateHighlight();
}

void AnswerKeyPane::ForgetDocument() {
    if (document_) {
        disconnect(document_, nullptr, this, nullptr);
        disconnect(document_->documentLayout(), nullptr, this, nullptr);
    }
    document_ = nullptr;
    key_ = {};
    steps_.clear();
    commandAdded_ = false;
    pane_->setExtraSelections({});
}

bool AnswerKeyPane::HasKeyForCurrentDocument() const { return document_ && document_ == pane_->document(); }

void AnswerKeyPane::SetHighlight(bool on) {
    highlight_ = on;
    UpdateHighlight();
}

void AnswerKeyPane::ContentsChanged(int position, int charsRemoved, int charsAdded) {
    if (!HasKeyForCurrentDocument()) return;
    // An undo or redo lowers or raises the document's count of undo steps without adding
    // one; the key follows it step by step, as the edits went (Qt reports the whole undo as
    // one change spanning them all).
    const int state = document_->availableUndoSteps();
    const bool newStep = std::exchange(commandAdded_, false);
    if (newStep || state == undoState_ || !Replay(undoState_, state)) Record(position, charsRemoved, charsAdded, state, newStep);
    undoState_ = state;
    if (highlight_) UpdateHighlight();
}

void AnswerKeyPane::Record(int position, int charsRemoved, int charsAdded, int state, bool newStep) {
    std::vector<Entry> gone = Apply(position, charsRemoved, charsAdded);
    if (!document_->isUndoRedoEnabled()) {
        steps_.clear();
        return;
    }
    // What could be redone is gone once the user edits; a new step takes its number's place.
    const auto stale = std::find_if(steps_.begin(), steps_.end(),
                                    [&](const UndoStep& step) { return newStep ? step.state >= state : step.state > state; });
    steps_.erase(stale, steps_.end());
    if (steps_.empty() || steps_.back().state != state) steps_.push_back({state, {}});
    steps_.back().edits.push_back({position, charsRemoved, charsAdded, std::move(gone)});
}

bool AnswerKeyPane::Replay(int from, int to) {
    const int low = std::min(from, to), high = std::max(from, to);
    if (low < keyState_ || steps_.empty() || steps_.back().state < high) return false;
    const auto first = std::find_if(steps_.begin(), steps_.end(), [low](const UndoStep& step) { return step.state > low; });
    const auto last = std::find_if(first, steps_.end(), [high](const UndoStep& step) { return step.state > high; });
    if (to < from) {
        for (auto step = std::make_reverse_iterator(last); step != std::make_reverse_iterator(first); ++step)
            for (auto edit = step->edits.rbegin(); edit != step->edits.rend(); ++edit) Unapply(*edit);
    } else {
        for (auto step = first; step != last; ++step)
            for (const KeyEdit& edit : step->edits) Reapply(edit);
    }
    return true;
}

namespace {

using Entries = std::vector<AnswerKeyPane::Entry>;

// The entries an edit at `position` takes in: those overlapping the removed text, or for a
// mere insertion the one it splits.
std::pair<Entries::iterator, Entries::iterator> Touched(Entries& entries, int position, int charsRemoved) {
    const auto at = static_cast<std::size_t>(position);
    const std::size_t removedEnd = at + static_cast<std::size_t>(charsRemoved);
    const auto first = std::lower_bound(entries.begin(), entries.end(), at + 1,
                                        [](const AnswerKeyPane::Entry& e, std::size_t p) { return e.End() < p; });
    auto last = first;
    while (last != entries.end() && last->Offset < removedEnd) ++last;
    return {first, last};
}

void Shift(Entries::iterator from, Entries::iterator to, std::int64_t by) {
    if (by != 0)
        for (auto it = from; it != to; ++it) it->Offset = static_cast<std::uint32_t>(it->Offset + by);
}

}  // namespace

std::vector<AnswerKeyPane::Entry> AnswerKeyPane::Apply(int position, int charsRemoved, int charsAdded) {
    std::vector<Entry>& entries = key_.Entries;
    const auto [first, last] = Touched(entries, position, charsRemoved);
    auto kept = first;
    if (charsRemoved == charsAdded) {
        // Format changes come this way too: a kana still standing where it stood keeps its key.
        const QTextDocument* document = pane_->document();
        kept = std::stable_partition(first, last, [this, document](const Entry& e) {
            const std::u16string_view kana = Expand(e).Kana();
            for (std::size_t i = 0; i < kana.size(); ++i)
                if (document->characterAt(static_cast<int>(e.Offset + i)) != QChar(kana[i])) return false;
            return true;
        });
    }
    std::vector<Entry> gone(kept, last);
    const auto rest = entries.erase(kept, last);
    Shift(rest, entries.end(), std::int64_t{charsAdded} - charsRemoved);
    return gone;
}

void AnswerKeyPane::Unapply(const KeyEdit& edit) {
    std::vector<Entry>& entries = key_.Entries;
    const auto after = std::lower_bound(entries.begin(), entries.end(), static_cast<std::uint32_t>(edit.position + edit.added),
                                        [](const Entry& e, std::uint32_t at) { return e.Offset < at; });
    Shift(after, entries.end(), std::int64_t{edit.removed} - edit.added);
    if (edit.gone.empty()) return;
    const auto middle = entries.insert(entries.end(), edit.gone.begin(), edit.gone.end());
    std::inplace_merge(entries.begin(), middle, entries.end(), [](const Entry& a, const Entry& b) { return a.Offset < b.Offset; });
}

void AnswerKeyPane::Reapply(const KeyEdit& edit) {
    std::vector<Entry>& entries = key_.Entries;
    const auto [first, last] = Touched(entries, edit.position, edit.removed);
    const auto taken = std::stable_partition(first, last, [&edit](const Entry& e) {
        return !std::binary_search(edit.gone.begin(), edit.gone.end(), e,
                                   [](const Entry& a, const Entry& b) { return a.Offset < b.Offset; });
    });
    const auto rest = entries.erase(taken, last);
    Shift(rest, entries.end(), std::int64_t{edit.added} - edit.removed);
}

std::optional<moratutor::KeyEntry> AnswerKeyPane::EntryAt(int position) const {
    if (position < 0 || !HasKeyForCurrentDocument()) return std::nullopt;
    const auto at = static_cast<std::size_t>(position);
    const std::vector<Entry>& entries = key_.Entries;
    const auto it = std::upper_bound(entries.begin(), entries.end(), at, [](std::size_t p, const Entry& e) { return p < e.Offset; });
    if (it == entries.begin() || at >= (it - 1)->End()) return std::nullopt;
    return Expand(*(it - 1));
}

QString AnswerKeyPane::ToolTipText(const moratutor::KeyEntry& entry) {
    const int group = moratutor::LearningGroup(entry.TableRow());
    if (group == 0) return QStringLiteral("Широкий пробел заменил обычный пробел («Замена пробелов»)");
    return QStringLiteral("«%1» — группа «%2»").arg(FromView(entry.Source()), FromView(moratutor::GroupCaption(group)));
}

QString AnswerKeyPane::ToolTipAt(int position) const {
    const std::optional<moratutor::KeyEntry> entry = EntryAt(position);
    return entry ? ToolTipText(*entry) : QString();
}

QString AnswerKeyPane::ToolTipAtCaret() const {
    const int caret = pane_->textCursor().position();
    const QString after = ToolTipAt(caret);
    return after.isEmpty() ? ToolTipAt(caret - 1) : after;
}

void AnswerKeyPane::ShowToolTipAtCaret() const {
    QString tip = ToolTipAtCaret();
    if (tip.isEmpty()) tip = QStringLiteral("У курсора нет слога, заменённого программой");
    const QRect caret = pane_->cursorRect();
    QToolTip::showText(pane_->viewport()->mapToGlobal(caret.bottomLeft()), tip, pane_->viewport(), caret);
}

int AnswerKeyPane::CharacterAt(const QPoint& point) const {
    QTextDocument* document = pane_->document();
    const QPointF at = QPointF(point) + QPointF(pane_->horizontalScrollBar()->value(), pane_->verticalScrollBar()->value());
    const QTextBlock block = BlockAt(document, at.y());
    const QTextLayout* lines = block.layout();
    if (!block.isValid() || !lines) return -1;
    const QPointF origin = document->documentLayout()->blockBoundingRect(block).topLeft();
    for (int i = 0; i < lines->lineCount(); ++i) {
        const QTextLine line = lines->lineAt(i);
        const QRectF box = line.rect().translated(origin);
        if (at.y() < box.top() || at.y() >= box.bottom()) continue;
        const qreal x = at.x() - origin.x();
        const int character = line.xToCursor(x, QTextLine::CursorOnCharacter);
        if (character < line.textStart() || character >= line.textStart() + line.textLength()) return -1;
        const qreal left = line.cursorToX(character), right = line.cursorToX(character + 1);
        if (x < std::min(left, right) || x >= std::max(left, right)) return -1;
        return block.position() + character;
    }
    return -1;
}

bool AnswerKeyPane::eventFilter(QObject* watched, QEvent* event) {
    // Compared with the viewport as it was made: while the pane is being destroyed, its
    // viewport still has events, and the pane can no longer be asked for it.
    if (watched == viewport_) {
        if (event->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(event);
            const int position = CharacterAt(help->pos());
            const std::optional<moratutor::KeyEntry> entry = EntryAt(position);
            if (!entry) {
                // Not ours: the pane's own tool tip, if it has one, takes over.
                QToolTip::hideText();
                return false;
            }
            QTextCursor start(pane_->document()), end(pane_->document());
            start.setPosition(static_cast<int>(entry->Offset));
            end.setPosition(static_cast<int>(entry->End()));
            const QRect area = pane_->cursorRect(start).united(pane_->cursorRect(end));
            QToolTip::showText(help->globalPos(), ToolTipText(*entry), pane_->viewport(), area);
            return true;
        }
        if ((event->type() == QEvent::Resize || event->type() == QEvent::PaletteChange) && highlight_) UpdateHighlight();
    }
    return QObject::eventFilter(watched, event);
}

std::pair<int, int> AnswerKeyPane::VisibleRange() const {
    QTextDocument* document = pane_->document();
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    const qreal top = pane_->verticalScrollBar()->value();
    const qreal bottom = top + pane_->viewport()->height();
    // Within a block, by its lines: one paragraph may be the whole text.
    const auto lineStart = [&](const QTextBlock& block, qreal y, bool after) {
        const QTextLayout* lines = block.layout();
        const qreal origin = layout->blockBoundingRect(block).top();
        for (int i = 0; lines && i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            if (origin + line.rect().bottom() > y) return block.position() + line.textStart() + (after ? line.textLength() : 0);
        }
        return block.position() + block.length();
    };
    QTextBlock block = BlockAt(document, top);
    const int first = lineStart(block, top, false);
    while (block.next().isValid() && layout->blockBoundingRect(block.next()).top() < bottom) block = block.next();
    const int stop = lineStart(block, bottom, true);
    return {first, stop};
}

void AnswerKeyPane::UpdateHighlight() {
    const std::vector<Entry>& entries = key_.Entries;
    if (!highlight_ || !HasKeyForCurrentDocument() || entries.empty()) {
        if (!pane_->extraSelections().isEmpty()) pane_->setExtraSelections({});
        return;
    }
    QTextDocument* document = pane_->document();
    const auto [first, stop] = VisibleRange();
    // A soft background that leaves the kana easy to read, in a light palette or a dark one.
    const moratutor::ui::Marking marking = moratutor::ui::MarkingOn(pane_->palette());
    QTextCharFormat format;
    format.setBackground(marking.background);
    // The pane's own text colour where it reads there, so that a disabled pane greys it too.
    if (marking.text != pane_->palette().color(QPalette::Text)) format.setForeground(marking.text);
    QList<QTextEdit::ExtraSelection> selections;
    auto it = std::lower_bound(entries.begin(), entries.end(), static_cast<std::size_t>(first),
                               [](const Entry& e, std::size_t at) { return e.End() <= at; });
    while (it != entries.end() && it->Offset < static_cast<std::uint32_t>(stop)) {
        // Neighbouring kana make one selection.
        const std::size_t from = it->Offset;
        std::size_t to = it->End();
        for (++it; it != entries.end() && it->Offset == to && it->Offset < static_cast<std::uint32_t>(stop); ++it) to = it->End();
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(document);
        selection.cursor.setPosition(static_cast<int>(from));
        selection.cursor.setPosition(static_cast<int>(to), QTextCursor::KeepAnchor);
        selection.format = format;
        selections.append(selection);
    }
    pane_->setExtraSelections(selections);
}

}  // namespace moratutor::ui

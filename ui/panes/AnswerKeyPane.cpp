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
#include <map>

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

// A background that leaves the kana easy to read on a light pane.
QColor HighlightColor() { return QColor(0xFF, 0xF1, 0xB8); }

}  // namespace

AnswerKeyPane::AnswerKeyPane(QTextEdit* pane) : QObject(pane), pane_(pane) {
    pane_->viewport()->installEventFilter(this);
    const auto update = [this] {
        if (highlight_) UpdateHighlight();
    };
    connect(pane_->verticalScrollBar(), &QScrollBar::valueChanged, this, update);
    connect(pane_->horizontalScrollBar(), &QScrollBar::valueChanged, this, update);
    connect(pane_->verticalScrollBar(), &QScrollBar::valueChanged, this, &AnswerKeyPane::CountReadPast);
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
    connect(document_, &QTextDocument::contentsChange, this, &AnswerKeyPane::ContentsChanged);
    // The layout fills in step by step after a new document: the visible part changes.
    connect(document_->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this, [this] {
        if (highlight_) UpdateHighlight();
    });
    // The pane itself may be going when its document goes: only the key is dropped then.
    connect(document_, &QObject::destroyed, this, [this] { key_ = {}; });
    UpdateHighlight();
    StartStudyOfDocument();
}

void AnswerKeyPane::ForgetDocument() {
    if (document_) {
        disconnect(document_, nullptr, this, nullptr);
        disconnect(document_->documentLayout(), nullptr, this, nullptr);
    }
    document_ = nullptr;
    key_ = {};
    pane_->setExtraSelections({});
}

bool AnswerKeyPane::HasKeyForCurrentDocument() const { return document_ && document_ == pane_->document(); }

void AnswerKeyPane::SetHighlight(bool on) {
    highlight_ = on;
    UpdateHighlight();
}

void AnswerKeyPane::ContentsChanged(int position, int charsRemoved, int charsAdded) {
    std::vector<Entry>& entries = key_.Entries;
    if (entries.empty() || !HasKeyForCurrentDocument()) return;
    const auto at = static_cast<std::size_t>(position);
    const std::size_t removedEnd = at + static_cast<std::size_t>(charsRemoved);
    // The entries the change touches: those overlapping the removed text, or for a mere
    // insertion the one it splits.
    const auto first =
        std::lower_bound(entries.begin(), entries.end(), at + 1, [](const Entry& e, std::size_t p) { return e.End() < p; });
    auto last = first;
    while (last != entries.end() && last->Offset < removedEnd) ++last;
    auto kept = first;
    if (charsRemoved == charsAdded) {
        // Format changes come this way too: a kana still standing where it stood keeps its key.
        const QTextDocument* document = pane_->document();
        kept = std::remove_if(first, last, [this, document](const Entry& e) {
            const std::u16string_view kana = Expand(e).Kana();
            for (std::size_t i = 0; i < kana.size(); ++i)
                if (document->characterAt(static_cast<int>(e.Offset + i)) != QChar(kana[i])) return true;
            return false;
        });
    }
    const auto rest = entries.erase(kept, last);
    if (const std::int64_t shift = std::int64_t{charsAdded} - charsRemoved; shift != 0)
        for (auto it = rest; it != entries.end(); ++it) it->Offset = static_cast<std::uint32_t>(it->Offset + shift);
    if (highlight_) UpdateHighlight();
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
    if (watched == pane_->viewport()) {
        if (event->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(event);
            const int position = CharacterAt(help->pos());
            const std::optional<moratutor::KeyEntry> entry = EntryAt(position);
            if (!entry) {
                // Not ours: the pane's own tool tip, if it has one, takes over.
                QToolTip::hideText();
                return false;
            }
            ShowToolTipFor(*entry, help->globalPos());
            return true;
        }
        if (event->type() == QEvent::Resize && highlight_) UpdateHighlight();
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
    QTextCharFormat format;
    format.setBackground(HighlightColor());
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

// The answer key's side of the learner's study: which kana were looked up and which were
// read past without a look-up. It runs on every scroll of a book-sized result, so it walks
// only the entries of the page that was on view, each once per document.
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolTip>

#include <algorithm>

#include "AnswerKeyPane.h"
#include "KanaCounts.h"

namespace moratutor::ui {

void AnswerKeyPane::StartStudyOfDocument() {
    readUpTo_ = 0;
    lookedUp_.clear();
    tipped_.reset();
    pageOnView_ = VisibleRange();
}

namespace {

// Counts as seen the entries from document position `from` to `to`, those looked up apart.
void CountSeen(const std::vector<AnswerKeyPane::Entry>& entries, std::size_t from, std::size_t to,
               const std::unordered_set<std::uint32_t>& lookedUp, moratutor::study::KanaCounts& counts) {
    auto it = std::lower_bound(entries.begin(), entries.end(), from,
                               [](const AnswerKeyPane::Entry& e, std::size_t at) { return e.Offset < at; });
    for (; it != entries.end() && it->Offset < to; ++it)
        if (!lookedUp.count(it->Offset))
            counts.CountSeen(it->Row, (it->ScriptAndSource & 0x8000) ? moratutor::kmKatakana : moratutor::kmHiragana);
}

}  // namespace

void AnswerKeyPane::CountReadPast() {
    if (!HasKeyForCurrentDocument()) return;
    const std::pair<int, int> now = VisibleRange();
    // What was on view and is now above it has been read past; a jump beyond the page read
    // nothing of what it skipped.
    const std::size_t from = std::max(readUpTo_, static_cast<std::size_t>(std::max(pageOnView_.first, 0)));
    const std::size_t to = static_cast<std::size_t>(std::max(std::min(pageOnView_.second, now.first), 0));
    pageOnView_ = now;
    if (to <= from) return;
    readUpTo_ = to;
    if (counts_) CountSeen(key_.Entries, from, to, lookedUp_, *counts_);
}

void AnswerKeyPane::CountPageOnView() {
    if (!HasKeyForCurrentDocument()) return;
    // As if the page on view had been scrolled away.
    const std::pair<int, int> now = VisibleRange();
    const std::size_t from = std::max(readUpTo_, static_cast<std::size_t>(std::max(now.first, 0)));
    const std::size_t to = static_cast<std::size_t>(std::max(now.second, 0));
    if (to <= from) return;
    readUpTo_ = to;
    if (counts_) CountSeen(key_.Entries, from, to, lookedUp_, *counts_);
}

void AnswerKeyPane::ShowToolTipFor(const moratutor::KeyEntry& entry, const QPoint& globalPos) {
    // A tool tip still up for the same kana is the same look-up, not another.
    const bool again = tipped_ == entry.Offset && QToolTip::isVisible();
    QTextCursor start(pane_->document()), end(pane_->document());
    start.setPosition(static_cast<int>(entry.Offset));
    end.setPosition(static_cast<int>(entry.End()));
    const QRect area = pane_->cursorRect(start).united(pane_->cursorRect(end));
    QToolTip::showText(globalPos, ToolTipText(entry), pane_->viewport(), area);
    tipped_ = entry.Offset;
    if (again) return;
    lookedUp_.insert(entry.Offset);
    if (counts_) counts_->CountLookUp(entry.Row, entry.Script);
    emit KanaLookedUp(entry);
}

std::optional<moratutor::KeyEntry> AnswerKeyPane::EntryAtCaret() const {
    const int caret = pane_->textCursor().position();
    if (std::optional<moratutor::KeyEntry> after = EntryAt(caret)) return after;
    return EntryAt(caret - 1);
}

std::optional<moratutor::KeyEntry> AnswerKeyPane::EntryOfToolTip() const {
    if (!tipped_ || !QToolTip::isVisible()) return std::nullopt;
    return EntryAt(static_cast<int>(*tipped_));
}

bool AnswerKeyPane::ShowToolTipAtCaret() {
    const std::optional<moratutor::KeyEntry> entry = EntryAtCaret();
    if (!entry) {
        const QRect caret = pane_->cursorRect();
        QToolTip::showText(pane_->viewport()->mapToGlobal(caret.bottomLeft()),
                           QStringLiteral("У курсора нет слога, заменённого программой"), pane_->viewport(), caret);
        return false;
    }
    QTextCursor start(pane_->document());
    start.setPosition(static_cast<int>(entry->Offset));
    const QRect box = pane_->cursorRect(start);
    ShowToolTipFor(*entry, pane_->viewport()->mapToGlobal(box.bottomLeft()));
    return true;
}

}  // namespace moratutor::ui

// The answer key of the converted pane: which kana the program wrote there and what they
// replaced, kept right while the user edits the pane, shown as tool tips and, on request,
// as a soft background that lives outside the document.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "moratutor/ConversionKey.h"

class QEvent;
class QPoint;
class QTextDocument;
class QTextEdit;

namespace moratutor::ui {

class AnswerKeyPane : public QObject {
    Q_OBJECT
public:
    // A key as the pane keeps it: a book has hundreds of thousands of replaced syllables,
    // so an entry takes 8 bytes (the engine's 16), its source text standing once in a table
    // of the key's distinct ones.
    struct Entry {
        std::uint32_t Offset = 0;
        std::uint8_t Length = 0;
        std::uint8_t Row = 0;
        std::uint16_t ScriptAndSource = 0;  // katakana in the top bit, the rest indexes Sources

        std::size_t End() const { return std::size_t{Offset} + Length; }
    };
    struct CompactKey {
        std::vector<Entry> Entries;
        std::vector<std::u16string> Sources;
    };
    // Frees the engine's key as it goes.
    static CompactKey Compact(moratutor::AnswerKey key);

    // Watches `pane`, whose child it becomes.
    explicit AnswerKeyPane(QTextEdit* pane);

    // The key of the pane's current document, as the engine made it for `text`, the text
    // the document was filled with (setPlainText makes one paragraph end of a CR LF, so the
    // key's offsets are moved to match). A later document of the pane has no key until it
    // gets its own.
    void SetKey(moratutor::AnswerKey key, std::u16string_view text);
    void SetKey(CompactKey key, std::u16string_view text);
    // The key as the engine gives it.
    moratutor::AnswerKey Key() const;

    void SetHighlight(bool on);
    bool Highlight() const { return highlight_; }

    // The tool tip for the character at document position `position`; empty where the
    // program wrote nothing.
    QString ToolTipAt(int position) const;
    // The tool tip for the kana at the caret (after it, else before it); empty where the
    // program wrote neither. The pane's accessible description follows it as the caret
    // moves, so that a screen reader can tell what a kana stands for.
    QString ToolTipAtCaret() const;
    // Shows that tool tip below the caret, or says that the caret is at no kana of the program's.
    void ShowToolTipAtCaret() const;

    // The document position of the character under `point` (viewport coordinates), or -1.
    int CharacterAt(const QPoint& point) const;

    // «Ко» — группа «Ка, Ки, Ку, Кэ, Ко», or what a widened space says.
    static QString ToolTipText(const moratutor::KeyEntry& entry);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What one edit of the pane took from the key, kept while the edit can be undone: the
    // document's undo brings the text back, this the key of its kana.
    struct KeyEdit {
        int position = 0, removed = 0, added = 0;
        std::vector<Entry> gone;  // offsets as they were before the edit
    };
    // The edits of one undo step of the document, by its number of undo steps after it.
    struct UndoStep {
        int state = 0;
        std::vector<KeyEdit> edits;
    };

    void ContentsChanged(int position, int charsRemoved, int charsAdded);
    void Record(int position, int charsRemoved, int charsAdded, int state, bool newStep);
    // Undoes or redoes the key's side of the steps between the two states; false where the
    // steps were not all seen (the key came after them).
    bool Replay(int from, int to);
    // The entries the edit touches, as an edit of the user's takes them away.
    std::vector<Entry> Apply(int position, int charsRemoved, int charsAdded);
    void Unapply(const KeyEdit& edit);
    void Reapply(const KeyEdit& edit);
    void FollowLayout();
    void LayoutGrew();
    void ForgetDocument();
    std::optional<moratutor::KeyEntry> EntryAt(int position) const;
    moratutor::KeyEntry Expand(const Entry& entry) const;
    bool HasKeyForCurrentDocument() const;
    // Extra selections for the visible keyed ranges only: a whole long text's worth would
    // make every repaint walk hundreds of thousands of them.
    void UpdateHighlight();
    // Document positions from the first visible line's start to the last one's end.
    std::pair<int, int> VisibleRange() const;

    QTextEdit* pane_;
    QObject* viewport_;  // the pane's own, which it keeps for its life
    QPointer<QTextDocument> document_;  // the document the key belongs to
    CompactKey key_;
    std::vector<UndoStep> steps_;
    int keyState_ = 0;     // the document's undo steps when the key was set
    int undoState_ = 0;    // and at the last change seen
    bool commandAdded_ = false;  // a new undo step came since the last change
    bool highlight_ = false;
};

}  // namespace moratutor::ui

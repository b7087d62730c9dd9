// The answer key of the converted pane: which kana the program wrote there and what they
// replaced, kept right while the user edits the pane, shown as tool tips and, on request,
// as a soft background that lives outside the document.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <string_view>
#include <utility>

#include "moratutor/AnswerKey.h"

class QEvent;
class QPoint;
class QTextDocument;
class QTextEdit;

class AnswerKeyPane : public QObject {
    Q_OBJECT
public:
    // Watches `pane`, whose child it becomes.
    explicit AnswerKeyPane(QTextEdit* pane);

    // The key of the pane's current document, as the engine made it for `text`, the text
    // the document was filled with (setPlainText makes one paragraph end of a CR LF, so the
    // key's offsets are moved to match). A later document of the pane has no key until it
    // gets its own.
    void SetKey(moratutor::AnswerKey key, std::u16string_view text);
    void ClearKey();
    const moratutor::AnswerKey& Key() const { return key_; }

    void SetHighlight(bool on);
    bool Highlight() const { return highlight_; }

    // The tool tip for the character at document position `position`; empty where the
    // program wrote nothing.
    QString ToolTipAt(int position) const;
    // The document position of the character under `point` (viewport coordinates), or -1.
    int CharacterAt(const QPoint& point) const;

    // «Ко» — группа «Ка, Ки, Ку, Кэ, Ко», or what a widened space says.
    static QString ToolTipText(const moratutor::KeyEntry& entry);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ContentsChanged(int position, int charsRemoved, int charsAdded);
    void ForgetDocument();
    const moratutor::KeyEntry* EntryAt(int position) const;
    bool HasKeyForCurrentDocument() const;
    // Extra selections for the visible keyed ranges only: a whole long text's worth would
    // make every repaint walk hundreds of thousands of them.
    void UpdateHighlight();
    // Document positions from the first visible line's start to the last one's end.
    std::pair<int, int> VisibleRange() const;

    QTextEdit* pane_;
    QPointer<QTextDocument> document_;  // the document the key belongs to
    moratutor::AnswerKey key_;
    bool highlight_ = false;
};

#include "moratutor/books/WholeWords.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <vector>

namespace moratutor::books {
namespace {

// No-break spaces hold their neighbours together; every other space lets the line end.
bool IsBreakingSpace(QChar c) {
    return c.isSpace() && c != QChar::Nbsp && c != u'\u2007' && c != u'\u202F';
}

bool IsHyphenOrDash(QChar c) {
    switch (c.unicode()) {
        case u'-':
        case u'\u2010':  // hyphen
        case u'\u2012':  // figure dash
        case u'\u2013':  // en dash
        case u'\u2014':  // em dash
        case u'\u2015':  // horizontal bar
        case u'\u2E3A':  // two-em dash
        case u'\u2E3B':  // three-em dash
            return true;
        default:
            return false;
    }
}

// The line's end, after its trailing spaces.
qsizetype LineEnd(const QTextLine& line) { return line.textStart() + line.textLength(); }

}  // namespace

bool MayEndLineAt(QStringView text, qsizetype position) {
    if (position <= 0 || position >= text.size()) return true;
    const QChar before = text[position - 1], after = text[position];
    if (IsBreakingSpace(before)) return !IsBreakingSpace(after);
    // "-5" is a minus sign, and a dash before punctuation belongs to it.
    return IsHyphenOrDash(before) && after.isLetter();
}

void SetLineWidthKeepingWords(const QString& text, QTextLine& line, qreal width) {
    line.setLineWidth(width);
    const qsizetype start = line.textStart(), end = LineEnd(line);
    // A layout holding more than `text` (an input method's text being composed) is Qt's.
    if (end >= text.size() || MayEndLineAt(text, end)) return;
    qsizetype wanted = end - 1;
    while (wanted > start && !MayEndLineAt(text, wanted)) --wanted;
    if (wanted == start) return;  // one word wider than the line
    // Qt fills a line of n columns up to its last break before the n-th glyph; glyphs are
    // fewer than units where surrogate pairs or ligatures come, so a few tries may be needed.
    int columns = static_cast<int>(wanted - start);
    for (int attempt = 0; attempt < 4 && columns > 0; ++attempt) {
        line.setNumColumns(columns, width);
        const qsizetype got = LineEnd(line);
        if (got <= wanted && MayEndLineAt(text, got) && got > start) return;
        columns -= static_cast<int>(std::max<qsizetype>(1, got - wanted));
    }
    line.setLineWidth(width);  // Qt's own break, rather than none
}

namespace {

// The ends of the block's lines as SetLineWidthKeepingWords makes them, at the widths Qt's
// document layout gave its lines; empty when Qt's lines already end where they may.
std::vector<int> WholeWordLineEnds(const QTextBlock& block) {
    QTextLayout* layout = block.layout();
    // A paragraph's layout takes its text from the paragraph; its own text() is empty.
    const QString text = block.text();
    std::vector<qreal> widths;
    bool inWord = false;
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        widths.push_back(line.width());
        inWord = inWord || !MayEndLineAt(text, LineEnd(line));
    }
    if (!inWord) return {};
    std::vector<int> ends;
    layout->beginLayout();
    for (std::size_t i = 0;; ++i) {
        QTextLine line = layout->createLine();
        if (!line.isValid()) break;
        SetLineWidthKeepingWords(text, line, widths[std::min(i, widths.size() - 1)]);
        const qsizetype end = LineEnd(line);
        if (end < text.size() && text[end - 1] != QChar::LineSeparator) ends.push_back(static_cast<int>(end));
    }
    layout->endLayout();
    return ends;
}

}  // namespace

bool PinWholeWordLines(QTextDocument& document) {
    document.setUndoRedoEnabled(false);
    document.documentLayout()->documentSize();  // lays the document out
    std::vector<int> pins;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (!block.layout() || block.layout()->lineCount() < 2) continue;
        for (int end : WholeWordLineEnds(block)) pins.push_back(block.position() + end);
    }
    if (pins.empty()) return false;
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    // From the end, so that the positions still ahead stay valid.
    for (auto it = pins.rbegin(); it != pins.rend(); ++it) {
        cursor.setPosition(*it);
        cursor.insertText(QString(QChar::LineSeparator));
    }
    cursor.endEditBlock();
    return true;
}

}  // namespace moratutor::books

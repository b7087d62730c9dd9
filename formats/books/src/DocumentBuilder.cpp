#include "moratutor/books/DocumentBuilder.h"

#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <algorithm>

namespace moratutor::books {

namespace {

// What a paragraph (its block, layout and format) and a formatted run (its fragment) cost a
// QTextDocument besides their characters, as measured.
constexpr std::size_t kParagraphCost = 800;
constexpr std::size_t kRunCost = 160;

bool IsMarkupSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

}  // namespace

DocumentBuilder::DocumentBuilder(QTextDocument& document, const BookReadLimits& limits)
    : document_(document), limits_(limits) {}

void DocumentBuilder::StartParagraph(int headingLevel) {
    EndParagraph();
    headingLevel_ = headingLevel;
}

void DocumentBuilder::EndParagraph() {
    const int level = headingLevel_;
    headingLevel_ = 0;
    pendingSpace_ = false;
    if (!hasText_ || overflowed_) {
        runs_.clear();
        hasText_ = false;
        return;
    }
    hasText_ = false;
    if (++paragraphs_ > limits_.MaxParagraphs || OverBudget()) {
        overflowed_ = true;
        runs_.clear();
        return;
    }
    QTextCursor cursor(&document_);
    cursor.movePosition(QTextCursor::End);
    QTextBlockFormat block;
    block.setHeadingLevel(level);
    if (paragraphs_ == 1 && document_.isEmpty()) {
        cursor.setBlockFormat(block);
    } else {
        cursor.insertBlock(block, QTextCharFormat());
    }
    for (const Run& run : runs_) {
        QTextCharFormat format;
        if (run.Bold || level > 0) format.setFontWeight(QFont::Bold);
        if (run.Italic) format.setFontItalic(true);
        // Larger headings as a browser shows them: h1 +2 steps, h2 +1.
        if (level > 0 && level < 3) format.setProperty(QTextFormat::FontSizeAdjustment, 3 - level);
        cursor.insertText(run.Text, format);
    }
    runs_.clear();
}

void DocumentBuilder::AddLineBreak() {
    if (!hasText_) return;
    Append(QStringView(u"\u2028"), bold_ > 0, italic_ > 0);
    pendingSpace_ = false;
}

void DocumentBuilder::AddText(QStringView text) {
    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start < size) {
        if (IsMarkupSpace(text[start])) {
            pendingSpace_ = hasText_;
            pendingSpaceBold_ = bold_ > 0;
            pendingSpaceItalic_ = italic_ > 0;
            while (start < size && IsMarkupSpace(text[start])) ++start;
            continue;
        }
        qsizetype end = start;
        while (end < size && !IsMarkupSpace(text[end])) ++end;
        // The space keeps the emphasis it had where it stood: "<b>a</b> b" has a plain space.
        if (pendingSpace_) Append(QStringView(u" "), pendingSpaceBold_, pendingSpaceItalic_);
        pendingSpace_ = false;
        Append(text.mid(start, end - start), bold_ > 0, italic_ > 0);
        hasText_ = true;
        start = end;
    }
}

void DocumentBuilder::Append(QStringView text, bool bold, bool italic) {
    if (overflowed_) return;
    characters_ += static_cast<std::size_t>(text.size());
    if (characters_ > limits_.MaxCharacters) {
        overflowed_ = true;
        return;
    }
    if (runs_.empty() || runs_.back().Bold != bold || runs_.back().Italic != italic) {
        ++runCount_;
        if (OverBudget()) {
            overflowed_ = true;
            runs_.clear();
            return;
        }
        runs_.push_back({QString(), bold, italic});
    }
    runs_.back().Text.append(text);
}

bool DocumentBuilder::OverBudget() const {
    const std::size_t cost = paragraphs_ * kParagraphCost + runCount_ * kRunCost;
    return cost > std::max(limits_.CostFloor, limits_.MaxCostPerTextByte * 2 * characters_);
}

void AppendDocument(QTextDocument& target, const QTextDocument& source) {
    if (source.isEmpty()) return;
    QTextCursor cursor(&target);
    cursor.movePosition(QTextCursor::End);
    if (!target.isEmpty()) cursor.insertBlock();
    cursor.insertFragment(QTextDocumentFragment(&source));
}

DocumentAside::DocumentAside(QTextDocument& document) : document_(document), direct_(document.isEmpty()) {
    if (!direct_) scratch_ = std::make_unique<QTextDocument>();
}

DocumentAside::~DocumentAside() {
    if (direct_ && !committed_) document_.clear();
}

void DocumentAside::Commit() {
    committed_ = true;
    if (!direct_) AppendDocument(document_, *scratch_);
}

}  // namespace moratutor::books

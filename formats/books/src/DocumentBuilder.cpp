#include "moratutor/books/DocumentBuilder.h"

#include "moratutor/books/BookStructure.h"

#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QRegularExpression>

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
    if (inNote_) {
        KeepNoteParagraph(level);
        runs_.clear();
        return;
    }
    QTextBlockFormat block;
    block.setHeadingLevel(level);
    Insert(block, runs_, ++bodyParagraphs_ == 1 && document_.isEmpty());
    runs_.clear();
}

void DocumentBuilder::Insert(const QTextBlockFormat& block, const std::vector<Run>& runs, bool first) {
    const int level = block.headingLevel();
    QTextCursor cursor(&document_);
    cursor.movePosition(QTextCursor::End);
    if (first) {
        cursor.setBlockFormat(block);
    } else {
        cursor.insertBlock(block, QTextCharFormat());
    }
    for (const Run& run : runs) {
        QTextCharFormat format;
        if (run.Bold || level > 0) format.setFontWeight(QFont::Bold);
        if (run.Italic) format.setFontItalic(true);
        // Larger headings as a browser shows them: h1 +2 steps, h2 +1.
        if (level > 0 && level < 3) format.setProperty(QTextFormat::FontSizeAdjustment, 3 - level);
        if (!run.Href.isEmpty()) {
            format.setAnchor(true);
            format.setAnchorHref(run.Href);
            format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
        }
        cursor.insertText(run.Text, format);
    }
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
    if (runs_.empty() || runs_.back().Bold != bold || runs_.back().Italic != italic || runs_.back().Href != href_) {
        ++runCount_;
        if (OverBudget()) {
            overflowed_ = true;
            runs_.clear();
            return;
        }
        runs_.push_back({QString(), bold, italic, href_});
    }
    runs_.back().Text.append(text);
    if (!href_.isEmpty() && referenceText_.size() < 64) referenceText_.append(text);
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

namespace moratutor::books {

void DocumentBuilder::BeginNote(const QString& id) {
    EndParagraph();
    inNote_ = true;
    notes_.push_back({id.isEmpty() ? QStringLiteral("note-%1").arg(notes_.size() + 1) : id, {}, {}});
}

void DocumentBuilder::EndNote() {
    if (!inNote_) return;
    EndParagraph();
    inNote_ = false;
}

void DocumentBuilder::KeepNoteParagraph(int level) {
    PendingNote& note = notes_.back();
    if (level > 0 && note.Paragraphs.empty() && note.Label.isEmpty()) {
        // The note's own title ("1", "*") labels it.
        for (const Run& run : runs_) note.Label += run.Text;
        note.Label = note.Label.simplified();
        return;
    }
    for (Run& run : runs_) run.Href.clear();  // a note refers to no other note
    note.Paragraphs.push_back(std::move(runs_));
}

QString DocumentBuilder::ScopedNoteId(const QString& href) const {
    const qsizetype hash = href.indexOf(u'#');
    if (hash < 0 || hash + 1 == href.size()) return {};
    if (noteScope_.isEmpty()) return href.mid(hash + 1);
    const QString file = hash == 0 ? noteScope_ : href.left(hash).section(u'/', -1);
    return file + u'#' + href.mid(hash + 1);
}

void DocumentBuilder::StartNoteReference(const QString& id, bool certain) {
    href_ = u'#' + id;
    hrefCertain_ = certain;
    referenceText_.clear();
}

void DocumentBuilder::EndNoteReference() {
    if (href_.isEmpty()) return;
    const QString label = referenceText_.simplified();
    // "[1]" and "1)" label their note "1".
    QString bare = label;
    bare.remove(QRegularExpression(QStringLiteral("^[\\[\\(\\{]+|[\\]\\)\\}]+$")));
    const QString id = href_.mid(1);
    if (!hrefCertain_ && label.size() > 8) {
        for (Run& run : runs_)
            if (run.Href == href_) run.Href.clear();  // a link within the book, not to a note
        href_.clear();
        return;
    }
    href_.clear();
    if (bare.isEmpty()) return;
    bool numeric = false;
    bare.toInt(&numeric);
    // Numbers that start again in each chapter (pandoc's) would repeat once the notes
    // stand together: the book's notes are numbered on instead.
    const QString owner = labelOwners_.value(bare);
    if (numeric && !owner.isEmpty() && owner != id && !runs_.empty() && !runs_.back().Href.isEmpty()) {
        const QString renumbered = referenceLabels_.value(id, QString::number(lastNumber_ + 1));
        runs_.back().Text.replace(bare, renumbered);
        bare = renumbered;
    }
    if (numeric) lastNumber_ = std::max(lastNumber_, bare.toInt());
    if (!referenceLabels_.contains(id)) {
        referenceLabels_.insert(id, bare);
        referenceOrder_.push_back(id);
    }
    if (!labelOwners_.contains(bare)) labelOwners_.insert(bare, id);
}

void DocumentBuilder::AppendNotes() {
    EndNote();
    EndParagraph();
    if (notes_.empty() || overflowed_) return;
    // Referred-to notes first, as the references run; a writer places them the same way.
    std::vector<const PendingNote*> order;
    std::vector<bool> placed(notes_.size(), false);
    QHash<QString, std::size_t> firstWithId;
    for (std::size_t i = notes_.size(); i-- > 0;) firstWithId.insert(notes_[i].Id, i);
    for (const QString& id : referenceOrder_) {
        const auto found = firstWithId.constFind(id);
        if (found == firstWithId.constEnd() || placed[*found]) continue;
        placed[*found] = true;
        order.push_back(&notes_[*found]);
    }
    for (std::size_t i = 0; i < notes_.size(); ++i)
        if (!placed[i]) order.push_back(&notes_[i]);

    QTextBlockFormat heading;
    heading.setHeadingLevel(1);
    heading.setProperty(kNotesHeading, true);
    Insert(heading, {{NotesHeadingText(), false, false, {}}}, ++bodyParagraphs_ == 1 && document_.isEmpty());
    for (std::size_t i = 0; i < order.size(); ++i) {
        const PendingNote& note = *order[i];
        QString label = note.Label.isEmpty() ? referenceLabels_.value(note.Id) : note.Label;
        if (label.isEmpty()) label = QString::number(i + 1);
        QTextBlockFormat format;
        format.setProperty(kNoteId, note.Id);
        QTextBlockFormat first = format;
        first.setProperty(kNoteLabel, label);
        std::vector<Run> labelled{{note.Paragraphs.empty() ? label : label + u' ', false, false, {}}};
        if (!note.Paragraphs.empty()) labelled.insert(labelled.end(), note.Paragraphs[0].begin(), note.Paragraphs[0].end());
        Insert(first, labelled, false);
        for (std::size_t p = 1; p < note.Paragraphs.size(); ++p) Insert(format, note.Paragraphs[p], false);
    }
    notes_.clear();
}

}  // namespace moratutor::books

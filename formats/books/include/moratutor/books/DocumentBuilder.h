// Collects the paragraphs a book reader finds and puts them into a QTextDocument.
#pragma once

#include "moratutor/books/BookLimits.h"

#include <QString>
#include <QStringView>
#include <QTextCharFormat>

#include <cstddef>
#include <memory>
#include <vector>

class QTextDocument;

namespace moratutor::books {

// Text arrives as markup carries it: whitespace runs of the source collapse into one
// space and vanish at the edges of a paragraph, as a browser shows them. A paragraph
// without visible text is dropped. Heading paragraphs get bold, larger text and the
// block's heading level.
class DocumentBuilder {
public:
    DocumentBuilder(QTextDocument& document, const BookReadLimits& limits);

    // Ends the paragraph being collected and starts another.
    void StartParagraph(int headingLevel = 0);
    void EndParagraph();
    void AddText(QStringView text);
    void AddLineBreak();
    void SetBold(bool on) { bold_ += on ? 1 : -1; }
    void SetItalic(bool on) { italic_ += on ? 1 : -1; }
    // Forgets emphasis a cut-off document left open.
    void ResetEmphasis() { bold_ = italic_ = 0; }

    // True once a limit was passed; everything added after that is ignored.
    bool Overflowed() const { return overflowed_; }
    std::size_t Paragraphs() const { return paragraphs_; }

private:
    struct Run {
        QString Text;
        bool Bold = false;
        bool Italic = false;
    };
    void Append(QStringView text, bool bold, bool italic);
    bool OverBudget() const;

    QTextDocument& document_;
    const BookReadLimits& limits_;
    std::vector<Run> runs_;
    int headingLevel_ = 0;
    int bold_ = 0;
    int italic_ = 0;
    bool pendingSpace_ = false;
    bool pendingSpaceBold_ = false;
    bool pendingSpaceItalic_ = false;
    bool hasText_ = false;
    bool overflowed_ = false;
    std::size_t paragraphs_ = 0;
    std::size_t characters_ = 0;
    std::size_t runCount_ = 0;  // formatted runs of all paragraphs
};

// Puts the whole of source at the end of target, in a paragraph of its own.
void AppendDocument(QTextDocument& target, const QTextDocument& source);

// Where a reader builds its text so that a refused book leaves the document as it was: an
// empty document is filled directly (a copy of a large book would double the memory it
// takes), any other through a scratch document appended on Commit.
class DocumentAside {
public:
    explicit DocumentAside(QTextDocument& document);
    ~DocumentAside();  // without Commit: the document as it was
    QTextDocument& Target() { return direct_ ? document_ : *scratch_; }
    void Commit();
    DocumentAside(const DocumentAside&) = delete;
    DocumentAside& operator=(const DocumentAside&) = delete;

private:
    QTextDocument& document_;
    std::unique_ptr<QTextDocument> scratch_;
    bool direct_;
    bool committed_ = false;
};

}  // namespace moratutor::books

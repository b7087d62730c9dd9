#include "BookOutput.h"

#include "moratutor/books/BookStructure.h"
#include "moratutor/books/BookWriters.h"
#include "moratutor/books/DocumentLoader.h"
#include "moratutor/books/PagedOutput.h"
#include "moratutor/rtf/RtfWriter.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <utility>
#include <vector>

namespace moratutor::convert {

namespace {

// The lines of the converted text, each paragraph's lines joined again by line separators.
std::vector<QString> ParagraphTexts(const QTextDocument& source, const std::u16string& converted) {
    const QStringList lines = QString::fromStdU16String(converted).split(u'\n');
    std::vector<QString> texts;
    qsizetype line = 0;
    for (QTextBlock block = source.begin(); block.isValid(); block = block.next()) {
        const qsizetype count = 1 + block.text().count(QChar::LineSeparator);
        if (line + count > lines.size()) return {};
        texts.push_back(lines.mid(line, count).join(QChar::LineSeparator));
        line += count;
    }
    if (line != lines.size()) return {};
    return texts;
}

// The char format of a paragraph all in one format; the default otherwise.
QTextCharFormat WholeFormat(const QTextBlock& block) {
    QTextCharFormat format;
    int fragments = 0;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        if (it.fragment().charFormat().isAnchor()) continue;
        if (++fragments > 1) return QTextCharFormat();
        format = it.fragment().charFormat();
    }
    return format;
}

// References to notes are digits and signs the conversion leaves alone: the k-th
// occurrence of the reference's text in the source is the k-th in the converted paragraph.
void CopyNoteReferences(const QTextBlock& source, QTextCursor& target, int targetStart, const QString& converted) {
    const QString text = source.text();
    for (auto it = source.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.charFormat().isAnchor() || books::NoteIdOfHref(fragment.charFormat().anchorHref()).isEmpty()) continue;
        const QString mark = fragment.text();
        const int offset = fragment.position() - source.position();
        qsizetype occurrence = 0;
        for (qsizetype at = text.indexOf(mark); at >= 0 && at < offset; at = text.indexOf(mark, at + 1)) ++occurrence;
        qsizetype found = converted.indexOf(mark);
        while (found >= 0 && occurrence-- > 0) found = converted.indexOf(mark, found + 1);
        if (found < 0) continue;
        target.setPosition(targetStart + static_cast<int>(found));
        target.setPosition(targetStart + static_cast<int>(found + mark.size()), QTextCursor::KeepAnchor);
        target.mergeCharFormat(fragment.charFormat());
    }
}

}  // namespace

LoadedBook LoadBook(std::string_view bytes) {
    LoadedBook book;
    book.Text = LoadDocumentText(bytes, nullptr, &book.Info, &book.Document);
    return book;
}

std::unique_ptr<QTextDocument> ConvertedBookDocument(const QTextDocument& source, const std::u16string& converted) {
    const std::vector<QString> texts = ParagraphTexts(source, converted);
    if (texts.empty()) return nullptr;
    auto document = std::make_unique<QTextDocument>();
    document->setUndoRedoEnabled(false);
    document->setDefaultFont(books::HandoutFont());
    QTextCursor cursor(document.get());
    std::size_t index = 0;
    for (QTextBlock block = source.begin(); block.isValid(); block = block.next(), ++index) {
        if (index == 0) {
            cursor.setBlockFormat(block.blockFormat());
        } else {
            cursor.insertBlock(block.blockFormat(), QTextCharFormat());
        }
        const int start = cursor.position();
        cursor.insertText(texts[index], WholeFormat(block));
        CopyNoteReferences(block, cursor, start, texts[index]);
        cursor.movePosition(QTextCursor::End);
    }
    return document;
}

std::string RenderBook(OutputFormat format, const std::u16string& converted, const std::string& title,
                       const LoadedBook* book) {
    if (!book || !book->Document || format == OutputFormat::Txt) return RenderDocument(format, converted, title);
    const std::unique_ptr<QTextDocument> document = ConvertedBookDocument(*book->Document, converted);
    if (!document) return RenderDocument(format, converted, title);
    books::BookInfo info = book->Info;
    if (info.Title.isEmpty()) info.Title = QString::fromStdString(title);
    switch (format) {
        case OutputFormat::Rtf: return rtf::WriteRtf(*document);
        case OutputFormat::Fb2: return books::WriteFb2Book(*document, info);
        case OutputFormat::Html: return books::WriteHtml(*document, info.Title);
        case OutputFormat::Epub:
            if (auto epub = books::WriteEpubBook(*document, info)) return std::move(*epub);
            break;
        case OutputFormat::Pdf:
            if (auto pdf = books::RenderPdf(*document, info.Title)) return pdf->toStdString();
            break;
        case OutputFormat::Txt: break;
    }
    throw DocumentError("Failed to Save Stream");
}

}  // namespace moratutor::convert

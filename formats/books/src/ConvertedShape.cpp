#include "moratutor/books/BookStructure.h"

#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <vector>

namespace moratutor::books {

namespace {

// The lines of the converted text, each paragraph's lines joined again by line separators.
std::vector<QString> ParagraphTexts(const QTextDocument& source, const std::u16string& converted) {
    const QStringList lines = QString::fromStdU16String(converted).split(u'\n');
    // Line separators stay in the text, or became line feeds as well.
    const bool separatorsKept = lines.size() == source.blockCount();
    std::vector<QString> texts;
    qsizetype line = 0;
    for (QTextBlock block = source.begin(); block.isValid(); block = block.next()) {
        const qsizetype count = separatorsKept ? 1 : 1 + block.text().count(QChar::LineSeparator);
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
        if (!fragment.charFormat().isAnchor() || NoteIdOfHref(fragment.charFormat().anchorHref()).isEmpty()) continue;
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

std::unique_ptr<QTextDocument> ConvertedInShapeOf(const QTextDocument& source, const std::u16string& converted) {
    const std::vector<QString> texts = ParagraphTexts(source, converted);
    if (texts.empty()) return nullptr;
    auto document = std::make_unique<QTextDocument>();
    document->setUndoRedoEnabled(false);
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

}  // namespace moratutor::books

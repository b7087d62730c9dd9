#include "WriterNotes.h"

#include "moratutor/books/BookStructure.h"

#include <QRegularExpression>
#include <QTextDocument>

namespace moratutor::books {

QString Notes::IdOf(const QString& documentId) const {
    const auto found = Index.constFind(documentId);
    return found == Index.constEnd() ? QString() : QStringLiteral("n%1").arg(*found + 1);
}

Notes CollectNotes(const QTextDocument& document) {
    Notes notes;
    QTextBlock start;
    for (QTextBlock block = document.lastBlock();
         block.isValid() && (IsNotesBlock(block) || block.text().trimmed().isEmpty()); block = block.previous()) {
        start = block;
    }
    QString last;
    for (QTextBlock block = start; block.isValid(); block = block.next()) {
        if (!IsNotesBlock(block)) continue;
        if (!notes.Start.isValid()) notes.Start = block;
        const QString id = block.blockFormat().stringProperty(kNoteId);
        if (id.isEmpty()) continue;  // the heading
        if (id != last || notes.List.empty()) {
            last = id;
            if (!notes.Index.contains(id)) notes.Index.insert(id, static_cast<qsizetype>(notes.List.size()));
            notes.List.push_back({block.blockFormat().stringProperty(kNoteLabel), {}});
        }
        notes.List.back().Blocks.push_back(block);
    }
    if (notes.List.empty()) notes.Start = QTextBlock();
    return notes;
}

qsizetype NoteLabelLength(const QTextBlock& block, const QString& label) {
    const QString text = block.text();
    if (label.isEmpty() || !text.startsWith(label)) return 0;
    return label.size() + (text.mid(label.size(), 1) == u" " ? 1 : 0);
}

QString NoteLabel(const Note& note, std::size_t index) {
    return note.Label.isEmpty() ? QString::number(index + 1) : note.Label;
}

QString LanguageTag(const QString& language) {
    static const QRegularExpression kTag(QStringLiteral("^[A-Za-z]{2,3}(-[A-Za-z0-9]{1,8})*$"));
    return kTag.match(language).hasMatch() ? language : QStringLiteral("ru");
}

QString CoverFileName(const BookInfo& book) {
    const QString type = book.CoverMediaType.section(u'/', 1).toLower();
    if (type == u"jpeg" || type == u"jpg") return QStringLiteral("cover.jpg");
    if (type == u"png" || type == u"gif" || type == u"webp") return QStringLiteral("cover.") + type;
    return {};
}

}  // namespace moratutor::books

#include "moratutor/books/BookStructure.h"

#include "moratutor/books/BookInfo.h"

#include <QFont>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <array>

namespace moratutor::books {

QString BookAuthor::DisplayName() const {
    const QString names = QStringList{FirstName, MiddleName, LastName}.join(u' ').simplified();
    return names.isEmpty() ? Nickname.simplified() : names;
}

BookAuthor AuthorFromDisplayName(const QString& name) {
    const QStringList words = name.simplified().split(u' ', Qt::SkipEmptyParts);
    BookAuthor author;
    if (words.size() == 1) {
        author.Nickname = words[0];
    } else if (words.size() == 2) {
        author.FirstName = words[0];
        author.LastName = words[1];
    } else if (words.size() >= 3) {
        author.FirstName = words[0];
        author.MiddleName = words.mid(1, words.size() - 2).join(u' ');
        author.LastName = words.last();
    }
    return author;
}

QString NotesHeadingText() { return QStringLiteral("Примечания"); }

bool IsNotesBlock(const QTextBlock& block) {
    const QTextBlockFormat format = block.blockFormat();
    return format.hasProperty(kNotesHeading) || format.hasProperty(kNoteId);
}

QString NoteIdOfHref(const QString& href) {
    const qsizetype hash = href.indexOf(u'#');
    return hash < 0 ? QString() : href.mid(hash + 1);
}

void PrepareChaptersForPages(QTextDocument& document) {
    // Point sizes by heading level, for a 11-point text.
    constexpr std::array<qreal, 6> kScale{1.8, 1.45, 1.25, 1.1, 1.0, 1.0};
    const qreal base = document.defaultFont().pointSizeF() > 0 ? document.defaultFont().pointSizeF() : 11;
    bool first = true;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level <= 0) {
            if (!block.text().trimmed().isEmpty()) first = false;
            continue;
        }
        QTextCursor cursor(block);
        QTextBlockFormat format;
        if (level == 1 && !first) format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        format.setTopMargin(level == 1 ? base * 2 : base);
        format.setBottomMargin(base * 0.8);
        cursor.mergeBlockFormat(format);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat face;
        face.setFontWeight(QFont::Bold);
        face.setFontPointSize(base * kScale[static_cast<std::size_t>(std::min(level, 6) - 1)]);
        face.setProperty(QTextFormat::FontSizeAdjustment, 0);
        cursor.mergeCharFormat(face);
        first = false;
    }
}

}  // namespace moratutor::books

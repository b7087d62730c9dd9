#include "BookMarkup.h"

#include "moratutor/books/BookStructure.h"
#include "moratutor/books/BookWriters.h"
#include "WriterNotes.h"

#include <QFont>
#include <QTextBlock>
#include <QTextFragment>

#include <algorithm>

namespace moratutor::books::detail {

const QString kFb2Namespace = QStringLiteral("http://www.gribuser.ru/xml/fictionbook/2.0");
const QString kProgram = QStringLiteral("Moratutor");

QString StyleSheet() {
    // Unicode lets a line end beside every kana; a reader asked to keep words whole breaks
    // a converted word only where a Russian one breaks.
    return QStringLiteral("body { font-family: %1; word-break: keep-all; }\n"
                          "p { margin: 0 0 0.5em 0; }\n"
                          ".noteref { vertical-align: super; font-size: smaller; }\n")
        .arg(QString::fromLatin1(kBookFontFamilies));
}

QString XmlSafe(const QString& text) {
    QString safe;
    safe.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            safe += c;
            safe += text[++i];
        } else if (c.isSurrogate() || c.unicode() == 0xFFFE || c.unicode() == 0xFFFF ||
                   (c.unicode() < 0x20 && c != u'\t')) {
            continue;
        } else {
            safe += c;
        }
    }
    return safe;
}

std::vector<Run> RunsOf(const QTextBlock& block) {
    std::vector<Run> runs;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid()) continue;
        const QTextCharFormat format = fragment.charFormat();
        if (format.isImageFormat()) continue;
        QString text = fragment.text();
        text.remove(QChar::ObjectReplacementCharacter);
        runs.push_back({text, format.fontWeight() >= QFont::DemiBold, format.fontItalic(),
                        format.isAnchor() ? NoteIdOfHref(format.anchorHref()) : QString()});
    }
    return runs;
}

bool IsBlank(const QTextBlock& block) { return XmlSafe(block.text()).trimmed().isEmpty(); }

void WriteLines(QXmlStreamWriter& xml, const QString& text, const QString& lineBreak) {
    const QString safe = XmlSafe(text);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= safe.size(); ++i) {
        if (i < safe.size() && safe[i] != QChar::LineSeparator && safe[i] != u'\n' && safe[i] != u'\r') continue;
        if (i > start) xml.writeCharacters(safe.mid(start, i - start));
        if (i < safe.size() && !lineBreak.isEmpty()) xml.writeEmptyElement(lineBreak);
        start = i + 1;
    }
}

void WriteRuns(QXmlStreamWriter& xml, const std::vector<Run>& runs, const QString& bold, const QString& italic,
               const QString& lineBreak, const NoteLink& link) {
    const bool indented = xml.autoFormatting();
    xml.setAutoFormatting(false);
    for (const Run& run : runs) {
        const bool linked = !run.NoteId.isEmpty() && link && link(xml, run.NoteId);
        if (run.Bold) xml.writeStartElement(bold);
        if (run.Italic) xml.writeStartElement(italic);
        WriteLines(xml, run.Text, lineBreak);
        if (run.Italic) xml.writeEndElement();
        if (run.Bold) xml.writeEndElement();
        if (linked) xml.writeEndElement();
    }
    xml.writeEndElement();  // the paragraph, closed on the same line
    xml.setAutoFormatting(indented);
}

std::vector<Run> NoteRuns(const QTextBlock& block, const QString& label) {
    std::vector<Run> runs = RunsOf(block);
    qsizetype drop = NoteLabelLength(block, label);
    for (Run& run : runs) {
        const qsizetype n = std::min(drop, run.Text.size());
        run.Text.remove(0, n);
        drop -= n;
    }
    std::erase_if(runs, [](const Run& run) { return run.Text.isEmpty(); });
    return runs;
}

BookInfo TitledBook(const QString& title) {
    BookInfo book;
    book.Title = title;
    return book;
}

QStringList AnnotationLines(const BookInfo& book) {
    QStringList lines;
    for (const QString& line : book.Annotation.split(u'\n'))
        if (const QString safe = XmlSafe(line).simplified(); !safe.isEmpty()) lines << safe;
    return lines;
}

std::string ToStd(const QByteArray& bytes) { return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())); }

}  // namespace moratutor::books::detail

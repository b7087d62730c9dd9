#include "moratutor/books/BookWriters.h"

#include "moratutor/books/ZipArchive.h"

#include <QDateTime>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QUuid>
#include <QXmlStreamWriter>

#include <algorithm>
#include <utility>
#include <vector>

namespace moratutor::books {

namespace {

const QString kXhtmlNamespace = QStringLiteral("http://www.w3.org/1999/xhtml");
const QString kFb2Namespace = QStringLiteral("http://www.gribuser.ru/xml/fictionbook/2.0");
const QString kProgram = QStringLiteral("Moratutor");

// A chapter file of about this size keeps readers on small devices quick.
constexpr qsizetype kChapterBytes = 256 * 1024;

QString StyleSheet() {
    // Unicode lets a line end beside every kana; a reader asked to keep words whole breaks
    // a converted word only where a Russian one breaks.
    return QStringLiteral("body { font-family: %1; word-break: keep-all; }\n"
                          "p { margin: 0 0 0.5em 0; }\n")
        .arg(QString::fromLatin1(kBookFontFamilies));
}

// Only what XML 1.0 allows: tab, line feed, carriage return, U+0020 up, no lone surrogate,
// no U+FFFE or U+FFFF.
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

// One run of a paragraph: its text and its emphasis.
struct Run {
    QString Text;
    bool Bold = false;
    bool Italic = false;
};

std::vector<Run> RunsOf(const QTextBlock& block) {
    std::vector<Run> runs;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid()) continue;
        const QTextCharFormat format = fragment.charFormat();
        if (format.isImageFormat()) continue;
        QString text = fragment.text();
        text.remove(QChar::ObjectReplacementCharacter);
        runs.push_back({text, format.fontWeight() >= QFont::DemiBold, format.fontItalic()});
    }
    return runs;
}

bool IsBlank(const QTextBlock& block) { return XmlSafe(block.text()).trimmed().isEmpty(); }

// Writes the text, each line separator (U+2028, or a line feed of plain text) as an empty
// element named lineBreak.
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

// The runs of a paragraph, and the paragraph's end, with the elements each markup uses for bold and italic. Inside a
// paragraph nothing is indented: a reader would take the indentation for spaces.
void WriteRuns(QXmlStreamWriter& xml, const std::vector<Run>& runs, const QString& bold, const QString& italic,
               const QString& lineBreak) {
    const bool indented = xml.autoFormatting();
    xml.setAutoFormatting(false);
    for (const Run& run : runs) {
        if (run.Bold) xml.writeStartElement(bold);
        if (run.Italic) xml.writeStartElement(italic);
        WriteLines(xml, run.Text, lineBreak);
        if (run.Italic) xml.writeEndElement();
        if (run.Bold) xml.writeEndElement();
    }
    xml.writeEndElement();  // the paragraph, closed on the same line
    xml.setAutoFormatting(indented);
}

// The body of a page: paragraphs as <p>, heading paragraphs as <hN id="hK">, K counting
// through the whole book so its contents can point at every heading.
class XhtmlBodyWriter {
public:
    XhtmlBodyWriter(QXmlStreamWriter& xml, int& headings) : xml_(xml), headings_(headings) {}

    void Write(const QTextBlock& block) {
        const int level = block.blockFormat().headingLevel();
        std::vector<Run> runs = RunsOf(block);
        if (level > 0) {
            xml_.writeStartElement(QStringLiteral("h%1").arg(std::min(level, 6)));
            xml_.writeAttribute(QStringLiteral("id"), QStringLiteral("h%1").arg(++headings_));
            for (Run& run : runs) run.Bold = false;  // a heading is bold by itself
        } else {
            xml_.writeStartElement(QStringLiteral("p"));
        }
        WriteRuns(xml_, runs, QStringLiteral("b"), QStringLiteral("i"), QStringLiteral("br"));
    }

private:
    QXmlStreamWriter& xml_;
    int& headings_;
};

void StartXhtml(QXmlStreamWriter& xml, const QString& title, bool epub) {
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDTD(QStringLiteral("<!DOCTYPE html>"));
    xml.writeStartElement(QStringLiteral("html"));
    xml.writeDefaultNamespace(kXhtmlNamespace);
    if (epub) xml.writeNamespace(QStringLiteral("http://www.idpf.org/2007/ops"), QStringLiteral("epub"));
    xml.writeAttribute(QStringLiteral("lang"), QStringLiteral("ru"));
    xml.writeAttribute(QStringLiteral("xml:lang"), QStringLiteral("ru"));
    xml.writeStartElement(QStringLiteral("head"));
    xml.writeStartElement(QStringLiteral("meta"));
    xml.writeAttribute(QStringLiteral("charset"), QStringLiteral("utf-8"));
    xml.writeEndElement();
    xml.writeTextElement(QStringLiteral("title"), XmlSafe(title));
    if (epub) {
        xml.writeStartElement(QStringLiteral("link"));
        xml.writeAttribute(QStringLiteral("rel"), QStringLiteral("stylesheet"));
        xml.writeAttribute(QStringLiteral("type"), QStringLiteral("text/css"));
        xml.writeAttribute(QStringLiteral("href"), QStringLiteral("style.css"));
        xml.writeEndElement();
    } else {
        xml.writeTextElement(QStringLiteral("style"), StyleSheet());
    }
    xml.writeEndElement();  // head
    xml.writeStartElement(QStringLiteral("body"));
}

QByteArray EndXhtml(QXmlStreamWriter& xml, QByteArray& bytes) {
    xml.writeEndElement();  // body
    xml.writeEndElement();  // html
    xml.writeEndDocument();
    return bytes;
}

struct Chapter {
    QString File;
    QByteArray Bytes;
    std::vector<std::pair<int, QString>> Headings;  // id number, text
};

std::vector<Chapter> WriteChapters(const QTextDocument& document, const QString& title) {
    std::vector<Chapter> chapters;
    QTextBlock block = document.begin();
    int headingNumber = 0;
    do {
        Chapter chapter;
        chapter.File = QStringLiteral("text-%1.xhtml").arg(chapters.size() + 1, 4, 10, QChar(u'0'));
        QXmlStreamWriter xml(&chapter.Bytes);
        StartXhtml(xml, title, true);
        bool anyParagraph = false;
        for (; block.isValid(); block = block.next()) {
            if (IsBlank(block)) continue;
            const int level = block.blockFormat().headingLevel();
            // A new chapter at a top heading, or when this one grew long.
            if (anyParagraph && (chapter.Bytes.size() > kChapterBytes || level == 1)) break;
            XhtmlBodyWriter(xml, headingNumber).Write(block);
            if (level > 0) chapter.Headings.emplace_back(headingNumber, XmlSafe(block.text()).simplified());
            anyParagraph = true;
        }
        if (!anyParagraph) {
            // An empty book still needs one page with some content for a reader to open.
            xml.writeTextElement(QStringLiteral("p"), QString());
        }
        EndXhtml(xml, chapter.Bytes);
        chapters.push_back(std::move(chapter));
    } while (block.isValid());
    return chapters;
}

QByteArray NavDocument(const std::vector<Chapter>& chapters, const QString& title) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    StartXhtml(xml, title, true);
    xml.writeStartElement(QStringLiteral("nav"));
    xml.writeAttribute(QStringLiteral("epub:type"), QStringLiteral("toc"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("toc"));
    xml.writeTextElement(QStringLiteral("h1"), XmlSafe(title));
    xml.writeStartElement(QStringLiteral("ol"));
    bool anyEntry = false;
    for (const Chapter& chapter : chapters) {
        for (const auto& [number, text] : chapter.Headings) {
            if (text.isEmpty()) continue;
            xml.writeStartElement(QStringLiteral("li"));
            xml.writeStartElement(QStringLiteral("a"));
            xml.writeAttribute(QStringLiteral("href"), chapter.File + QStringLiteral("#h%1").arg(number));
            xml.writeCharacters(text);
            xml.writeEndElement();
            xml.writeEndElement();
            anyEntry = true;
        }
    }
    if (!anyEntry) {
        xml.writeStartElement(QStringLiteral("li"));
        xml.writeStartElement(QStringLiteral("a"));
        xml.writeAttribute(QStringLiteral("href"), chapters.front().File);
        xml.writeCharacters(XmlSafe(title).isEmpty() ? QStringLiteral("Текст") : XmlSafe(title));
        xml.writeEndElement();
        xml.writeEndElement();
    }
    xml.writeEndElement();  // ol
    xml.writeEndElement();  // nav
    return EndXhtml(xml, bytes);
}

QByteArray PackageDocument(const std::vector<Chapter>& chapters, const QString& title) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("package"));
    xml.writeDefaultNamespace(QStringLiteral("http://www.idpf.org/2007/opf"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("3.0"));
    xml.writeAttribute(QStringLiteral("unique-identifier"), QStringLiteral("book-id"));
    xml.writeAttribute(QStringLiteral("xml:lang"), QStringLiteral("ru"));
    xml.writeStartElement(QStringLiteral("metadata"));
    xml.writeNamespace(QStringLiteral("http://purl.org/dc/elements/1.1/"), QStringLiteral("dc"));
    xml.writeStartElement(QStringLiteral("dc:identifier"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("book-id"));
    xml.writeCharacters(QStringLiteral("urn:uuid:") + QUuid::createUuid().toString(QUuid::WithoutBraces));
    xml.writeEndElement();
    const QString safeTitle = XmlSafe(title).simplified();
    xml.writeTextElement(QStringLiteral("dc:title"), safeTitle.isEmpty() ? QStringLiteral("Без названия") : safeTitle);
    xml.writeTextElement(QStringLiteral("dc:language"), QStringLiteral("ru"));
    xml.writeStartElement(QStringLiteral("meta"));
    xml.writeAttribute(QStringLiteral("property"), QStringLiteral("dcterms:modified"));
    xml.writeCharacters(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddThh:mm:ssZ")));
    xml.writeEndElement();
    xml.writeEndElement();  // metadata

    xml.writeStartElement(QStringLiteral("manifest"));
    const auto item = [&](const QString& id, const QString& href, const QString& type, const QString& properties) {
        xml.writeStartElement(QStringLiteral("item"));
        xml.writeAttribute(QStringLiteral("id"), id);
        xml.writeAttribute(QStringLiteral("href"), href);
        xml.writeAttribute(QStringLiteral("media-type"), type);
        if (!properties.isEmpty()) xml.writeAttribute(QStringLiteral("properties"), properties);
        xml.writeEndElement();
    };
    const QString xhtml = QStringLiteral("application/xhtml+xml");
    item(QStringLiteral("nav"), QStringLiteral("nav.xhtml"), xhtml, QStringLiteral("nav"));
    item(QStringLiteral("style"), QStringLiteral("style.css"), QStringLiteral("text/css"), QString());
    for (std::size_t i = 0; i < chapters.size(); ++i)
        item(QStringLiteral("c%1").arg(i + 1), chapters[i].File, xhtml, QString());
    xml.writeEndElement();  // manifest

    xml.writeStartElement(QStringLiteral("spine"));
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        xml.writeEmptyElement(QStringLiteral("itemref"));
        xml.writeAttribute(QStringLiteral("idref"), QStringLiteral("c%1").arg(i + 1));
    }
    xml.writeEndElement();  // spine
    xml.writeEndElement();  // package
    xml.writeEndDocument();
    return bytes;
}

std::string ToStd(const QByteArray& bytes) { return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())); }

}  // namespace

std::optional<std::string> WriteEpub(const QTextDocument& document, const QString& title) {
    const std::vector<Chapter> chapters = WriteChapters(document, title);
    std::vector<ZipEntry> entries;
    // The first entry, stored: readers recognise the package by these bytes at offset 38.
    entries.push_back({"mimetype", "application/epub+zip", false});
    entries.push_back({"META-INF/container.xml",
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
                       "  <rootfiles>\n"
                       "    <rootfile full-path=\"OEBPS/content.opf\" media-type=\"application/oebps-package+xml\"/>\n"
                       "  </rootfiles>\n"
                       "</container>\n",
                       true});
    entries.push_back({"OEBPS/content.opf", ToStd(PackageDocument(chapters, title)), true});
    entries.push_back({"OEBPS/nav.xhtml", ToStd(NavDocument(chapters, title)), true});
    entries.push_back({"OEBPS/style.css", StyleSheet().toStdString(), true});
    for (const Chapter& chapter : chapters) entries.push_back({"OEBPS/" + chapter.File.toStdString(), ToStd(chapter.Bytes), true});
    return BuildZip(entries);
}

std::string WriteHtml(const QTextDocument& document, const QString& title) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    StartXhtml(xml, title, false);
    int headings = 0;
    XhtmlBodyWriter body(xml, headings);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (!IsBlank(block)) body.Write(block);
    }
    return ToStd(EndXhtml(xml, bytes));
}

namespace {

// The book's title, language and genre, and who made the document when.
void WriteFb2Description(QXmlStreamWriter& xml, const QString& title) {
    const QString safeTitle = XmlSafe(title).simplified();
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    xml.writeStartElement(QStringLiteral("description"));
    xml.writeStartElement(QStringLiteral("title-info"));
    xml.writeTextElement(QStringLiteral("genre"), QStringLiteral("foreign_language"));
    xml.writeStartElement(QStringLiteral("author"));
    xml.writeTextElement(QStringLiteral("nickname"), kProgram);
    xml.writeEndElement();
    xml.writeTextElement(QStringLiteral("book-title"), safeTitle.isEmpty() ? QStringLiteral("Без названия") : safeTitle);
    xml.writeTextElement(QStringLiteral("lang"), QStringLiteral("ru"));
    xml.writeEndElement();  // title-info
    xml.writeStartElement(QStringLiteral("document-info"));
    xml.writeStartElement(QStringLiteral("author"));
    xml.writeTextElement(QStringLiteral("nickname"), kProgram);
    xml.writeEndElement();
    xml.writeTextElement(QStringLiteral("program-used"), kProgram);
    xml.writeStartElement(QStringLiteral("date"));
    xml.writeAttribute(QStringLiteral("value"), today);
    xml.writeCharacters(today);
    xml.writeEndElement();
    xml.writeTextElement(QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces));
    xml.writeTextElement(QStringLiteral("version"), QStringLiteral("1.0"));
    xml.writeEndElement();  // document-info
    xml.writeEndElement();  // description
}

// The paragraphs in one section of the main body; blank paragraphs between them as empty lines.
void WriteFb2Body(QXmlStreamWriter& xml, const QTextDocument& document) {
    xml.writeStartElement(QStringLiteral("body"));
    xml.writeStartElement(QStringLiteral("section"));
    bool anyParagraph = false;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (IsBlank(block)) {
            if (anyParagraph) xml.writeEmptyElement(QStringLiteral("empty-line"));
            continue;
        }
        const bool heading = block.blockFormat().headingLevel() > 0;
        xml.writeStartElement(heading ? QStringLiteral("subtitle") : QStringLiteral("p"));
        std::vector<Run> runs = RunsOf(block);
        if (heading) {
            for (Run& run : runs) run.Bold = false;
        }
        // FictionBook has no line break inside a paragraph: the break ends the text run with a space.
        for (Run& run : runs) run.Text.replace(QChar::LineSeparator, u' ');
        WriteRuns(xml, runs, QStringLiteral("strong"), QStringLiteral("emphasis"), QString());
        anyParagraph = true;
    }
    if (!anyParagraph) xml.writeEmptyElement(QStringLiteral("empty-line"));
    xml.writeEndElement();  // section
    xml.writeEndElement();  // body
}

}  // namespace

std::string WriteFb2(const QTextDocument& document, const QString& title) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("FictionBook"));
    xml.writeDefaultNamespace(kFb2Namespace);
    xml.writeNamespace(QStringLiteral("http://www.w3.org/1999/xlink"), QStringLiteral("l"));
    xml.writeStartElement(QStringLiteral("stylesheet"));
    xml.writeAttribute(QStringLiteral("type"), QStringLiteral("text/css"));
    xml.writeCharacters(StyleSheet());
    xml.writeEndElement();
    WriteFb2Description(xml, title);
    WriteFb2Body(xml, document);
    xml.writeEndElement();  // FictionBook
    xml.writeEndDocument();
    return ToStd(bytes);
}

}  // namespace moratutor::books

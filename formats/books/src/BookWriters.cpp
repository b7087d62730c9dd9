#include "moratutor/books/BookWriters.h"

#include "moratutor/books/BookStructure.h"
#include "moratutor/books/ZipArchive.h"
#include "WriterNotes.h"

#include <QDateTime>
#include <QHash>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QUuid>
#include <QXmlStreamWriter>

#include <algorithm>
#include <functional>
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
                          "p { margin: 0 0 0.5em 0; }\n"
                          ".noteref { vertical-align: super; font-size: smaller; }\n")
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
    QString NoteId;  // of a reference to a note
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
        runs.push_back({text, format.fontWeight() >= QFont::DemiBold, format.fontItalic(),
                        format.isAnchor() ? NoteIdOfHref(format.anchorHref()) : QString()});
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

// Starts the element of a reference to the note; false when the note is not in the book.
using NoteLink = std::function<bool(QXmlStreamWriter&, const QString& noteId)>;

// The runs of a paragraph, and the paragraph's end, with the elements each markup uses for bold and italic. Inside a
// paragraph nothing is indented: a reader would take the indentation for spaces.
void WriteRuns(QXmlStreamWriter& xml, const std::vector<Run>& runs, const QString& bold, const QString& italic,
               const QString& lineBreak, const NoteLink& link = {}) {
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

// The body of a page: paragraphs as <p>, heading paragraphs as <hN id="hK">, K counting
// through the whole book so its contents can point at every heading.
class XhtmlBodyWriter {
public:
    XhtmlBodyWriter(QXmlStreamWriter& xml, int& headings, NoteLink link = {})
        : xml_(xml), headings_(headings), link_(std::move(link)) {}

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
        WriteRuns(xml_, runs, QStringLiteral("b"), QStringLiteral("i"), QStringLiteral("br"), link_);
    }

private:
    QXmlStreamWriter& xml_;
    int& headings_;
    NoteLink link_;
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

// A note paragraph's runs without the label its first paragraph starts with.
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

struct Heading {
    int Number = 0;  // the "hN" id
    int Level = 0;
    QString Text;
};

struct Chapter {
    QString File;
    QByteArray Bytes;
    std::vector<Heading> Headings;
};

const QString kNotesFile = QStringLiteral("notes.xhtml");

// Where each note went: the chapter that refers to it first holds it, after its text, as
// pandoc and most readers expect a footnote; notes nothing refers to go to a file of their own.
struct NotePlaces {
    QHash<QString, QString> Backlinks;  // "n1", the first reference to it ("text-0002.xhtml#rn1")
    std::vector<QString> ReferencedHere;  // the notes first referred to in the chapter being written
};

NoteLink EpubNoteLink(const Notes& notes, const QString& file, NotePlaces& places) {
    return [&notes, file, &places](QXmlStreamWriter& xml, const QString& documentId) {
        const QString id = notes.IdOf(documentId);
        if (id.isEmpty()) return false;
        const bool first = !places.Backlinks.contains(id);
        xml.writeStartElement(QStringLiteral("a"));
        xml.writeAttribute(QStringLiteral("epub:type"), QStringLiteral("noteref"));
        xml.writeAttribute(QStringLiteral("class"), QStringLiteral("noteref"));
        xml.writeAttribute(QStringLiteral("href"), (first ? QString() : places.Backlinks.value(id).section(u'#', 0, 0)) + u'#' + id);
        if (first) {
            xml.writeAttribute(QStringLiteral("id"), u'r' + id);
            places.Backlinks.insert(id, file + QStringLiteral("#r") + id);
            places.ReferencedHere.push_back(id);
        }
        return true;
    };
}

// An EPUB 3 footnote whose label links back to the first reference to it.
void WriteNoteAside(QXmlStreamWriter& xml, const Notes& notes, std::size_t index, const QString& backlink) {
    const Note& note = notes.List[index];
    xml.writeStartElement(QStringLiteral("aside"));
    xml.writeAttribute(QStringLiteral("epub:type"), QStringLiteral("footnote"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("n%1").arg(index + 1));
    for (std::size_t b = 0; b < note.Blocks.size(); ++b) {
        xml.writeStartElement(QStringLiteral("p"));
        const bool indented = xml.autoFormatting();
        xml.setAutoFormatting(false);
        if (b == 0) {
            xml.writeStartElement(QStringLiteral("a"));
            if (!backlink.isEmpty()) xml.writeAttribute(QStringLiteral("href"), backlink);
            xml.writeAttribute(QStringLiteral("role"), QStringLiteral("doc-backlink"));
            xml.writeCharacters(XmlSafe(NoteLabel(note, index)));
            xml.writeEndElement();
            xml.writeCharacters(QStringLiteral(" "));
        }
        WriteRuns(xml, NoteRuns(note.Blocks[b], b == 0 ? note.Label : QString()), QStringLiteral("b"),
                  QStringLiteral("i"), QStringLiteral("br"));
        xml.setAutoFormatting(indented);
    }
    xml.writeEndElement();  // aside
}

std::vector<Chapter> WriteChapters(const QTextDocument& document, const QString& title, const Notes& notes,
                                   NotePlaces& places, int& headingNumber) {
    std::vector<Chapter> chapters;
    QTextBlock block = document.begin();
    const auto inText = [&notes](const QTextBlock& b) { return b.isValid() && b != notes.Start; };
    do {
        Chapter chapter;
        chapter.File = QStringLiteral("text-%1.xhtml").arg(chapters.size() + 1, 4, 10, QChar(u'0'));
        QXmlStreamWriter xml(&chapter.Bytes);
        StartXhtml(xml, title, true);
        XhtmlBodyWriter body(xml, headingNumber, EpubNoteLink(notes, chapter.File, places));
        bool anyParagraph = false;
        for (; inText(block); block = block.next()) {
            if (IsBlank(block)) continue;
            const int level = block.blockFormat().headingLevel();
            // A new chapter at a top heading, or when this one grew long.
            if (anyParagraph && (chapter.Bytes.size() > kChapterBytes || level == 1)) break;
            body.Write(block);
            if (level > 0) chapter.Headings.push_back({headingNumber, level, XmlSafe(block.text()).simplified()});
            anyParagraph = true;
        }
        if (!anyParagraph) {
            // An empty book still needs one page with some content for a reader to open.
            xml.writeTextElement(QStringLiteral("p"), QString());
        }
        for (const QString& id : places.ReferencedHere)
            WriteNoteAside(xml, notes, static_cast<std::size_t>(id.mid(1).toInt() - 1), QStringLiteral("#r") + id);
        places.ReferencedHere.clear();
        EndXhtml(xml, chapter.Bytes);
        chapters.push_back(std::move(chapter));
    } while (inText(block));
    return chapters;
}

// The notes nothing refers to, under the notes' heading, in a file of their own.
std::optional<Chapter> NotesChapter(const Notes& notes, const QString& title, const NotePlaces& places,
                                    int& headingNumber) {
    std::vector<std::size_t> unreferenced;
    for (std::size_t i = 0; i < notes.List.size(); ++i)
        if (!places.Backlinks.contains(QStringLiteral("n%1").arg(i + 1))) unreferenced.push_back(i);
    if (unreferenced.empty()) return std::nullopt;
    Chapter chapter;
    chapter.File = kNotesFile;
    QXmlStreamWriter xml(&chapter.Bytes);
    StartXhtml(xml, title, true);
    xml.writeStartElement(QStringLiteral("section"));
    xml.writeAttribute(QStringLiteral("epub:type"), QStringLiteral("endnotes"));
    xml.writeStartElement(QStringLiteral("h1"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("h%1").arg(++headingNumber));
    const bool headed = notes.Start.blockFormat().hasProperty(kNotesHeading);
    const QString headingText = headed ? XmlSafe(notes.Start.text()).simplified() : NotesHeadingText();
    xml.writeCharacters(headingText);
    xml.writeEndElement();
    chapter.Headings.push_back({headingNumber, 1, headingText});
    for (const std::size_t i : unreferenced) WriteNoteAside(xml, notes, i, QString());
    xml.writeEndElement();  // section
    EndXhtml(xml, chapter.Bytes);
    return chapter;
}

void WriteNavEntry(QXmlStreamWriter& xml, const QString& file, const Heading& heading) {
    xml.writeStartElement(QStringLiteral("li"));
    xml.writeStartElement(QStringLiteral("a"));
    xml.writeAttribute(QStringLiteral("href"), file + QStringLiteral("#h%1").arg(heading.Number));
    xml.writeCharacters(heading.Text);
    xml.writeEndElement();
}

// Headings of levels 1 and 2, the second nested under the first before them.
bool WriteNavEntries(QXmlStreamWriter& xml, const std::vector<Chapter>& chapters) {
    bool entryOpen = false;
    bool nestedOpen = false;
    int entryLevel = 0;
    for (const Chapter& chapter : chapters) {
        for (const Heading& heading : chapter.Headings) {
            if (heading.Text.isEmpty() || heading.Level > 2) continue;
            const bool nested = entryOpen && heading.Level > entryLevel;
            if (nested && !nestedOpen) {
                xml.writeStartElement(QStringLiteral("ol"));
                nestedOpen = true;
            }
            if (!nested) {
                if (nestedOpen) xml.writeEndElement();  // ol
                if (entryOpen) xml.writeEndElement();   // li
                nestedOpen = false;
                entryLevel = heading.Level;
            }
            WriteNavEntry(xml, chapter.File, heading);
            if (nested) xml.writeEndElement();  // li
            entryOpen = entryOpen || !nested;
        }
    }
    if (nestedOpen) xml.writeEndElement();
    if (entryOpen) xml.writeEndElement();
    return entryOpen;
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
    if (!WriteNavEntries(xml, chapters)) {
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

// The annotation's paragraphs, each as XML can carry it.
QStringList AnnotationLines(const BookInfo& book) {
    QStringList lines;
    for (const QString& line : book.Annotation.split(u'\n'))
        if (const QString safe = XmlSafe(line).simplified(); !safe.isEmpty()) lines << safe;
    return lines;
}

void WriteMetadata(QXmlStreamWriter& xml, const BookInfo& book) {
    xml.writeStartElement(QStringLiteral("metadata"));
    xml.writeNamespace(QStringLiteral("http://purl.org/dc/elements/1.1/"), QStringLiteral("dc"));
    xml.writeStartElement(QStringLiteral("dc:identifier"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("book-id"));
    xml.writeCharacters(QStringLiteral("urn:uuid:") + QUuid::createUuid().toString(QUuid::WithoutBraces));
    xml.writeEndElement();
    const QString safeTitle = XmlSafe(book.Title).simplified();
    xml.writeTextElement(QStringLiteral("dc:title"), safeTitle.isEmpty() ? QStringLiteral("Без названия") : safeTitle);
    for (const BookAuthor& author : book.Authors) {
        const QString name = XmlSafe(author.DisplayName()).simplified();
        if (!name.isEmpty()) xml.writeTextElement(QStringLiteral("dc:creator"), name);
    }
    xml.writeTextElement(QStringLiteral("dc:language"), LanguageTag(book.Language));
    const QString annotation = AnnotationLines(book).join(u'\n');
    if (!annotation.isEmpty()) xml.writeTextElement(QStringLiteral("dc:description"), annotation);
    if (!book.Cover.isEmpty() && !CoverFileName(book).isEmpty()) {
        xml.writeEmptyElement(QStringLiteral("meta"));  // for EPUB 2 readers
        xml.writeAttribute(QStringLiteral("name"), QStringLiteral("cover"));
        xml.writeAttribute(QStringLiteral("content"), QStringLiteral("cover-image"));
    }
    xml.writeStartElement(QStringLiteral("meta"));
    xml.writeAttribute(QStringLiteral("property"), QStringLiteral("dcterms:modified"));
    xml.writeCharacters(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddThh:mm:ssZ")));
    xml.writeEndElement();
    xml.writeEndElement();  // metadata
}

QByteArray PackageDocument(const std::vector<Chapter>& chapters, const BookInfo& book) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("package"));
    xml.writeDefaultNamespace(QStringLiteral("http://www.idpf.org/2007/opf"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("3.0"));
    xml.writeAttribute(QStringLiteral("unique-identifier"), QStringLiteral("book-id"));
    xml.writeAttribute(QStringLiteral("xml:lang"), LanguageTag(book.Language));
    WriteMetadata(xml, book);

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
    if (!book.Cover.isEmpty() && !CoverFileName(book).isEmpty())
        item(QStringLiteral("cover-image"), CoverFileName(book), book.CoverMediaType.toLower(), QStringLiteral("cover-image"));
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

BookInfo TitledBook(const QString& title) {
    BookInfo book;
    book.Title = title;
    return book;
}

}  // namespace

std::optional<std::string> WriteEpubBook(const QTextDocument& document, const BookInfo& book) {
    const Notes notes = CollectNotes(document);
    NotePlaces places;
    int headingNumber = 0;
    std::vector<Chapter> chapters = WriteChapters(document, book.Title, notes, places, headingNumber);
    if (std::optional<Chapter> unreferenced = NotesChapter(notes, book.Title, places, headingNumber))
        chapters.push_back(std::move(*unreferenced));
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
    entries.push_back({"OEBPS/content.opf", ToStd(PackageDocument(chapters, book)), true});
    entries.push_back({"OEBPS/nav.xhtml", ToStd(NavDocument(chapters, book.Title)), true});
    entries.push_back({"OEBPS/style.css", StyleSheet().toStdString(), true});
    if (!book.Cover.isEmpty() && !CoverFileName(book).isEmpty())
        entries.push_back({"OEBPS/" + CoverFileName(book).toStdString(), ToStd(book.Cover), false});
    for (const Chapter& chapter : chapters) entries.push_back({"OEBPS/" + chapter.File.toStdString(), ToStd(chapter.Bytes), true});
    return BuildZip(entries);
}

std::optional<std::string> WriteEpub(const QTextDocument& document, const QString& title) {
    return WriteEpubBook(document, TitledBook(title));
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

void WriteFb2Author(QXmlStreamWriter& xml, const BookAuthor& author) {
    xml.writeStartElement(QStringLiteral("author"));
    const std::pair<const char*, QString> names[] = {{"first-name", author.FirstName},
                                                     {"middle-name", author.MiddleName},
                                                     {"last-name", author.LastName},
                                                     {"nickname", author.Nickname}};
    // FictionBook wants a first and a last name together, else a nickname.
    const bool named = !author.FirstName.trimmed().isEmpty() && !author.LastName.trimmed().isEmpty();
    for (const auto& [element, value] : names) {
        const QString safe = XmlSafe(value).simplified();
        const bool nickname = QLatin1StringView(element) == QLatin1StringView("nickname");
        if (nickname ? !safe.isEmpty() || !named : named && !safe.isEmpty())
            xml.writeTextElement(QString::fromLatin1(element), nickname && safe.isEmpty() ? author.DisplayName() : safe);
    }
    xml.writeEndElement();
}

void WriteTitleInfo(QXmlStreamWriter& xml, const BookInfo& book) {
    const QString safeTitle = XmlSafe(book.Title).simplified();
    xml.writeStartElement(QStringLiteral("title-info"));
    xml.writeTextElement(QStringLiteral("genre"), QStringLiteral("foreign_language"));
    bool anyAuthor = false;
    for (const BookAuthor& author : book.Authors) {
        if (XmlSafe(author.DisplayName()).simplified().isEmpty()) continue;
        WriteFb2Author(xml, author);
        anyAuthor = true;
    }
    if (!anyAuthor) {
        xml.writeStartElement(QStringLiteral("author"));
        xml.writeTextElement(QStringLiteral("nickname"), kProgram);
        xml.writeEndElement();
    }
    xml.writeTextElement(QStringLiteral("book-title"), safeTitle.isEmpty() ? QStringLiteral("Без названия") : safeTitle);
    const QStringList annotation = AnnotationLines(book);
    if (!annotation.isEmpty()) {
        xml.writeStartElement(QStringLiteral("annotation"));
        for (const QString& paragraph : annotation) xml.writeTextElement(QStringLiteral("p"), paragraph);
        xml.writeEndElement();
    }
    if (!book.Cover.isEmpty() && !CoverFileName(book).isEmpty()) {
        xml.writeStartElement(QStringLiteral("coverpage"));
        xml.writeEmptyElement(QStringLiteral("image"));
        xml.writeAttribute(QStringLiteral("l:href"), u'#' + CoverFileName(book));
        xml.writeEndElement();
    }
    xml.writeTextElement(QStringLiteral("lang"), LanguageTag(book.Language));
    xml.writeEndElement();  // title-info
}

void WriteDocumentInfo(QXmlStreamWriter& xml) {
    const QString today = QDate::currentDate().toString(Qt::ISODate);
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
}

// A paragraph's text as FictionBook carries it: no line break inside, so a break becomes a space.
void WriteFb2Paragraph(QXmlStreamWriter& xml, const QString& element, std::vector<Run> runs, const NoteLink& link) {
    xml.writeStartElement(element);
    for (Run& run : runs) run.Text.replace(QChar::LineSeparator, u' ');
    WriteRuns(xml, runs, QStringLiteral("strong"), QStringLiteral("emphasis"), QString(), link);
}

// The main body: a section per heading, nested as the headings are; text before the first
// heading in a section without a title.
class Fb2Sections {
public:
    Fb2Sections(QXmlStreamWriter& xml, NoteLink link) : xml_(xml), link_(std::move(link)) {}

    void Write(const QTextBlock& block) {
        if (IsBlank(block)) {
            if (!open_.empty() && open_.back().HasContent) xml_.writeEmptyElement(QStringLiteral("empty-line"));
            return;
        }
        const int level = block.blockFormat().headingLevel();
        if (level > 0) {
            while (!open_.empty() && (open_.back().Level >= level || open_.back().Level == 0)) Close();
            Open(level);
            xml_.writeStartElement(QStringLiteral("title"));
            std::vector<Run> runs = RunsOf(block);
            for (Run& run : runs) run.Bold = false;  // a title is bold by itself
            WriteFb2Paragraph(xml_, QStringLiteral("p"), runs, link_);
            xml_.writeEndElement();
            return;
        }
        if (open_.empty()) Open(0);
        WriteFb2Paragraph(xml_, QStringLiteral("p"), RunsOf(block), link_);
        open_.back().HasContent = true;
    }

    void CloseAll() {
        if (open_.empty()) Open(0);
        while (!open_.empty()) Close();
    }

private:
    struct Open {
        int Level = 0;
        bool HasContent = false;
    };
    void Open(int level) {
        if (!open_.empty()) open_.back().HasContent = true;
        xml_.writeStartElement(QStringLiteral("section"));
        open_.push_back({level, false});
    }
    void Close() {
        // A section needs some content after its title.
        if (!open_.back().HasContent) xml_.writeEmptyElement(QStringLiteral("empty-line"));
        xml_.writeEndElement();
        open_.pop_back();
    }

    QXmlStreamWriter& xml_;
    NoteLink link_;
    std::vector<struct Open> open_;
};

void WriteFb2Notes(QXmlStreamWriter& xml, const Notes& notes) {
    xml.writeStartElement(QStringLiteral("body"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("notes"));
    xml.writeStartElement(QStringLiteral("title"));
    const bool headed = notes.Start.blockFormat().hasProperty(kNotesHeading);
    xml.writeTextElement(QStringLiteral("p"), headed ? XmlSafe(notes.Start.text()).simplified() : NotesHeadingText());
    xml.writeEndElement();
    for (std::size_t i = 0; i < notes.List.size(); ++i) {
        const Note& note = notes.List[i];
        xml.writeStartElement(QStringLiteral("section"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("n%1").arg(i + 1));
        xml.writeStartElement(QStringLiteral("title"));
        xml.writeTextElement(QStringLiteral("p"), XmlSafe(NoteLabel(note, i)));
        xml.writeEndElement();
        bool any = false;
        for (std::size_t b = 0; b < note.Blocks.size(); ++b) {
            std::vector<Run> runs = NoteRuns(note.Blocks[b], b == 0 ? note.Label : QString());
            if (runs.empty()) continue;
            WriteFb2Paragraph(xml, QStringLiteral("p"), runs, {});
            any = true;
        }
        if (!any) xml.writeEmptyElement(QStringLiteral("empty-line"));
        xml.writeEndElement();  // section
    }
    xml.writeEndElement();  // body
}

}  // namespace

std::string WriteFb2Book(const QTextDocument& document, const BookInfo& book) {
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
    xml.writeStartElement(QStringLiteral("description"));
    WriteTitleInfo(xml, book);
    WriteDocumentInfo(xml);
    xml.writeEndElement();  // description

    const Notes notes = CollectNotes(document);
    const NoteLink link = [&notes](QXmlStreamWriter& writer, const QString& documentId) {
        const QString id = notes.IdOf(documentId);
        if (id.isEmpty()) return false;
        writer.writeStartElement(QStringLiteral("a"));
        writer.writeAttribute(QStringLiteral("l:href"), u'#' + id);
        writer.writeAttribute(QStringLiteral("type"), QStringLiteral("note"));
        return true;
    };
    xml.writeStartElement(QStringLiteral("body"));
    Fb2Sections sections(xml, link);
    for (QTextBlock block = document.begin(); block.isValid() && block != notes.Start; block = block.next())
        sections.Write(block);
    sections.CloseAll();
    xml.writeEndElement();  // body
    if (!notes.List.empty()) WriteFb2Notes(xml, notes);
    if (!book.Cover.isEmpty() && !CoverFileName(book).isEmpty()) {
        xml.writeStartElement(QStringLiteral("binary"));
        xml.writeAttribute(QStringLiteral("id"), CoverFileName(book));
        xml.writeAttribute(QStringLiteral("content-type"), book.CoverMediaType.toLower());
        xml.writeCharacters(QString::fromLatin1(book.Cover.toBase64()));
        xml.writeEndElement();
    }
    xml.writeEndElement();  // FictionBook
    xml.writeEndDocument();
    return ToStd(bytes);
}

std::string WriteFb2(const QTextDocument& document, const QString& title) { return WriteFb2Book(document, TitledBook(title)); }

}  // namespace moratutor::books

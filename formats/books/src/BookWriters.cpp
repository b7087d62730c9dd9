#include "moratutor/books/BookWriters.h"

#include "moratutor/books/BookStructure.h"
#include "moratutor/books/ZipArchive.h"
#include "BookMarkup.h"
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

using namespace detail;

const QString kXhtmlNamespace = QStringLiteral("http://www.w3.org/1999/xhtml");
// A chapter file of about this size keeps readers on small devices quick.
constexpr qsizetype kChapterBytes = 256 * 1024;

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

}  // namespace moratutor::books

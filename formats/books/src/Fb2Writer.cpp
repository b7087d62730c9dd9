// FictionBook 2 out: the book's description, its sections nested as the headings are, and
// its notes body.
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

#include "moratutor/books/Fb2Reader.h"

#include "moratutor/books/DocumentBuilder.h"
#include "BookInfoReaders.h"
#include "ResumingXmlReader.h"
#include "XmlSupport.h"

#include <QTextDocument>
#include <QXmlStreamReader>

#include <algorithm>
#include <vector>

namespace moratutor::books {

namespace {

// Paragraph-like elements: each is a paragraph of its own.
bool IsParagraph(QStringView name) { return IsOneOf(name, {u"p", u"v", u"subtitle", u"text-author", u"td", u"th"}); }

// Containers whose edges end a paragraph.
bool IsBlock(QStringView name) {
    return IsOneOf(name, {u"section", u"title", u"epigraph", u"poem", u"stanza", u"cite", u"table", u"tr",
                          u"empty-line", u"body", u"annotation"});
}

bool IsSkipped(const QXmlStreamReader& reader) {
    const QStringView name = reader.name();
    return IsOneOf(name, {u"description", u"binary", u"stylesheet", u"image"});
}

// The main body has no name; "notes" and "comments" bodies hold the notes.
bool IsNotesBody(const QXmlStreamReader& reader) {
    return reader.name() == u"body" && !reader.attributes().value(QStringLiteral("name")).isEmpty();
}

class Fb2Walker {
public:
    Fb2Walker(ResumingXmlReader& xml, QTextDocument& document, const BookReadLimits& limits, QString& title)
        : xml_(xml), reader_(xml.Reader()), limits_(limits), out_(document, limits), title_(title) {}

    BookReadStatus Run() {
        bool seenRoot = false;
        while (!xml_.AtEnd()) {
            switch (xml_.Next()) {
                case QXmlStreamReader::DTD:
                    if (DeclaresHostileEntities(reader_)) return BookReadStatus::TooLarge;
                    break;
                case QXmlStreamReader::StartElement:
                    if (!seenRoot && reader_.name() != u"FictionBook") return BookReadStatus::NotBook;
                    seenRoot = true;
                    if (static_cast<int>(path_.size()) >= limits_.MaxDepth) return BookReadStatus::TooDeep;
                    Start();
                    break;
                case QXmlStreamReader::EndElement:
                    End();
                    break;
                case QXmlStreamReader::Characters:
                    Characters(reader_.text());
                    break;
                case QXmlStreamReader::EntityReference:
                    Characters(HtmlEntityText(reader_.name()));
                    break;
                default:
                    break;
            }
            if (out_.Overflowed()) return BookReadStatus::TooLarge;
        }
        out_.AppendNotes();
        if (out_.Overflowed()) return BookReadStatus::TooLarge;
        if (!seenRoot) return xml_.Stopped() ? BookReadStatus::Damaged : BookReadStatus::NotBook;
        if (xml_.Damaged() && out_.Paragraphs() == 0 && title_.isEmpty()) return BookReadStatus::Damaged;
        title_ = title_.simplified();
        return BookReadStatus::Ok;
    }

private:
    void Start() {
        const QString name = reader_.name().toString();
        path_.push_back(name);
        if (skipFrom_ >= 0) return;
        if (IsSkipped(reader_)) {
            skipFrom_ = static_cast<int>(path_.size());
            return;
        }
        if (name == u"body") ++bodies_;
        if (name == u"section") ++sections_;
        if (name == u"title") ++titles_;
        if (StartNotes(name)) return;
        if (IsParagraph(name)) {
            // A chapter's title is a level 1 heading, its sections' titles 2 and down.
            const bool heading = titles_ > 0 || name == u"subtitle";
            out_.StartParagraph(heading ? std::clamp(sections_ + (titles_ > 0 ? 0 : 1), 1, 6) : 0);
        } else if (IsBlock(name)) {
            out_.EndParagraph();
        } else if (name == u"strong") {
            out_.SetBold(true);
        } else if (name == u"emphasis") {
            out_.SetItalic(true);
        }
    }

    void End() {
        if (path_.empty()) return;
        const QString name = path_.back();
        const bool skipped = skipFrom_ >= 0;
        if (skipped && static_cast<int>(path_.size()) == skipFrom_) skipFrom_ = -1;
        path_.pop_back();
        if (skipped) return;
        if (name == u"section") --sections_;
        if (name == u"title") --titles_;
        if (EndNotes(name)) return;
        if (IsParagraph(name) || IsBlock(name)) {
            out_.EndParagraph();
        } else if (name == u"strong") {
            out_.SetBold(false);
        } else if (name == u"emphasis") {
            out_.SetItalic(false);
        }
    }

    void Characters(QStringView text) {
        if (skipFrom_ >= 0) {
            const std::size_t n = path_.size();
            if (n >= 3 && path_[n - 1] == u"book-title" && path_[n - 2] == u"title-info" && path_[n - 3] == u"description" &&
                title_.size() < 4096) {
                title_ += text;
            }
            return;
        }
        if (bodies_ > 0 && (notesFrom_ < 0 || out_.InNote())) out_.AddText(text);
    }

    // A notes body, a note (a section with an id in one) and a reference to a note; true
    // when the element was one of them.
    bool StartNotes(const QString& name) {
        if (IsNotesBody(reader_)) {
            out_.EndParagraph();
            notesFrom_ = static_cast<int>(path_.size());
            return true;
        }
        const QXmlStreamAttributes attributes = reader_.attributes();
        // Every section of a notes body is a note, never lost; one with an id inside a
        // section without (a group of notes) starts a note of its own.
        const bool hasId = attributes.hasAttribute(QStringLiteral("id"));
        if (notesFrom_ >= 0 && name == u"section" && (!out_.InNote() || (hasId && !noteHasId_))) {
            out_.BeginNote(attributes.value(QStringLiteral("id")).toString());
            noteFrom_ = static_cast<int>(path_.size());
            noteHasId_ = hasId;
            return true;
        }
        if (name != u"a" || out_.InNote()) return false;
        QString href;
        for (const QXmlStreamAttribute& attribute : attributes)
            if (attribute.name() == u"href") href = attribute.value().toString();
        const bool note = attributes.value(QStringLiteral("type")) == u"note";
        if (href.startsWith(u'#') && href.size() > 1 && (note || notesFrom_ < 0)) {
            out_.StartNoteReference(href.mid(1), note);
            inReference_ = true;
        }
        return true;
    }

    bool EndNotes(const QString& name) {
        const int depth = static_cast<int>(path_.size()) + 1;  // the element's own, popped already
        if (depth == noteFrom_) {
            out_.EndNote();
            noteFrom_ = -1;
            return true;
        }
        if (depth == notesFrom_) {
            out_.EndNote();
            notesFrom_ = -1;
            return true;
        }
        if (name == u"a" && inReference_) {
            out_.EndNoteReference();
            inReference_ = false;
            return true;
        }
        return false;
    }

    ResumingXmlReader& xml_;
    const QXmlStreamReader& reader_;
    const BookReadLimits& limits_;
    DocumentBuilder out_;
    QString& title_;
    std::vector<QString> path_;
    int skipFrom_ = -1;  // depth of the skipped element, -1 outside one
    int bodies_ = 0;
    int sections_ = 0;
    int titles_ = 0;
    int notesFrom_ = -1;  // depth of the notes body, -1 outside one
    int noteFrom_ = -1;   // depth of the note's section
    bool noteHasId_ = false;
    bool inReference_ = false;
};

}  // namespace

bool LooksLikeFb2(std::string_view bytes) { return RootElementName(bytes) == u"FictionBook"; }

BookReadStatus ReadFb2(std::string_view bytes, QTextDocument& document, const BookReadLimits& limits, BookInfo* info) {
    if (bytes.size() > limits.MaxBytes) return BookReadStatus::TooLarge;
    const QString text = DecodeXml(bytes);
    ResumingXmlReader xml(text, limits.MaxResumptions);
    DocumentAside aside(document);
    QString bookTitle;
    const BookReadStatus status = Fb2Walker(xml, aside.Target(), limits, bookTitle).Run();
    if (status != BookReadStatus::Ok) return status;
    aside.Commit();
    if (info) {
        *info = ReadFb2Info(DeclareHtmlEntities(text));
        if (info->Title.isEmpty()) info->Title = bookTitle;
        info->Damaged = xml.Damaged();
    }
    return BookReadStatus::Ok;
}

}  // namespace moratutor::books

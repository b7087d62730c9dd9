#include "XhtmlWalker.h"

#include "moratutor/books/DocumentBuilder.h"
#include "XhtmlNotes.h"
#include "ResumingXmlReader.h"
#include "XmlSupport.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <initializer_list>

namespace moratutor::books {

namespace {

bool IsBold(QStringView name) { return name == u"b" || name == u"strong"; }
bool IsItalic(QStringView name) { return name == u"i" || name == u"em" || name == u"cite"; }

bool IsBlock(QStringView name) {
    return IsOneOf(name, {u"p", u"div", u"li", u"dt", u"dd", u"blockquote", u"section", u"article", u"header",
                          u"footer", u"pre", u"tr", u"td", u"th", u"table", u"ul", u"ol", u"dl", u"figure",
                          u"figcaption", u"address", u"body", u"hr", u"main", u"caption"});
}

int HeadingLevel(QStringView name) {
    if (name.size() == 2 && name[0] == u'h' && name[1] >= u'1' && name[1] <= u'6') return name[1].unicode() - u'0';
    return 0;
}

bool IsSkipped(const QXmlStreamReader& reader) {
    const QStringView name = reader.name();
    return IsOneOf(name, {u"head", u"script", u"style", u"svg", u"math", u"img", u"image", u"object", u"video",
                          u"audio", u"iframe", u"template", u"nav", u"noscript", u"rt", u"rp"}) ||
           IsNoteBacklink(reader);
}

class XhtmlWalker {
public:
    XhtmlWalker(ResumingXmlReader& xml, DocumentBuilder& out, const BookReadLimits& limits, QString* title)
        : xml_(xml), reader_(xml.Reader()), out_(out), limits_(limits), title_(title) {}

    BookReadStatus Run() {
        bool seenRoot = false;
        while (!xml_.AtEnd()) {
            switch (xml_.Next()) {
                case QXmlStreamReader::DTD:
                    if (DeclaresHostileEntities(reader_)) return BookReadStatus::TooLarge;
                    break;
                case QXmlStreamReader::StartElement:
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
                    if (skipFrom_ < 0 && !path_.empty() && !notes_.DropsText(out_))
                        out_.AddText(HtmlEntityText(reader_.name()));
                    break;
                default:
                    break;
            }
            if (out_.Overflowed()) return BookReadStatus::TooLarge;
        }
        out_.EndNote();  // a note ends with its chapter's file
        out_.EndParagraph();
        if (out_.Overflowed()) return BookReadStatus::TooLarge;
        if (title_) *title_ = title_->simplified();
        return seenRoot ? BookReadStatus::Ok : BookReadStatus::Damaged;
    }

private:
    void Start() {
        const QString name = reader_.name().toString().toLower();
        path_.push_back(name);
        if (skipFrom_ >= 0) return;
        if (IsSkipped(reader_)) {
            skipFrom_ = static_cast<int>(path_.size());
        } else if (notes_.Start(reader_, name, static_cast<int>(path_.size()), out_)) {
        } else if (const int level = HeadingLevel(name)) {
            out_.StartParagraph(level);
        } else if (IsBlock(name)) {
            out_.StartParagraph();
        } else if (name == u"br") {
            out_.AddLineBreak();
        } else if (IsBold(name)) {
            out_.SetBold(true);
        } else if (IsItalic(name)) {
            out_.SetItalic(true);
        }
    }

    void End() {
        if (path_.empty()) return;
        const QString name = path_.back();
        const bool skipped = skipFrom_ >= 0;
        if (skipped && static_cast<int>(path_.size()) == skipFrom_) skipFrom_ = -1;
        const int depth = static_cast<int>(path_.size());
        path_.pop_back();
        if (skipped) return;
        if (notes_.End(depth, out_)) {
        } else if (HeadingLevel(name) || IsBlock(name)) {
            out_.EndParagraph();
        } else if (IsBold(name)) {
            out_.SetBold(false);
        } else if (IsItalic(name)) {
            out_.SetItalic(false);
        }
    }

    void Characters(QStringView text) {
        if (skipFrom_ < 0 && !path_.empty()) {
            if (!notes_.DropsText(out_)) out_.AddText(text);
        } else if (title_ && path_.size() == 3 && path_[1] == u"head" && path_[2] == u"title" && title_->size() < 4096) {
            *title_ += text;
        }
    }

    ResumingXmlReader& xml_;
    const QXmlStreamReader& reader_;
    DocumentBuilder& out_;
    const BookReadLimits& limits_;
    QString* title_;
    std::vector<QString> path_;
    XhtmlNotes notes_;
    int skipFrom_ = -1;  // depth of the skipped element, -1 outside one
};

}  // namespace

BookReadStatus ReadXhtml(const QString& text, DocumentBuilder& out, const BookReadLimits& limits, XmlDamage onDamage,
                         BookInfo* info) {
    ResumingXmlReader xml(text, onDamage == XmlDamage::ReadOn ? limits.MaxResumptions : 0);
    QString title;
    const BookReadStatus status = XhtmlWalker(xml, out, limits, info ? &title : nullptr).Run();
    if (info) {
        *info = {};
        info->Title = title;
        info->Damaged = xml.Damaged();
    }
    return status;
}

}  // namespace moratutor::books

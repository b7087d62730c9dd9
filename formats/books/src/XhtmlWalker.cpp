#include "XhtmlWalker.h"

#include "moratutor/books/DocumentBuilder.h"
#include "XhtmlNotes.h"
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

}  // namespace

BookReadStatus ReadXhtml(const QString& text, DocumentBuilder& out, const BookReadLimits& limits, QString* title,
                         bool* wellFormed) {
    QXmlStreamReader reader(DeclareHtmlEntities(text));
    LimitEntityExpansion(reader);
    std::vector<QString> path;
    XhtmlNotes notes;
    int skipFrom = -1;
    bool seenRoot = false;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
            case QXmlStreamReader::DTD:
                if (DeclaresHostileEntities(reader)) return BookReadStatus::TooLarge;
                break;
            case QXmlStreamReader::StartElement: {
                seenRoot = true;
                if (static_cast<int>(path.size()) >= limits.MaxDepth) return BookReadStatus::TooDeep;
                const QString name = reader.name().toString().toLower();
                path.push_back(name);
                if (skipFrom >= 0) break;
                if (IsSkipped(reader)) {
                    skipFrom = static_cast<int>(path.size());
                } else if (notes.Start(reader, name, static_cast<int>(path.size()), out)) {
                } else if (const int level = HeadingLevel(name)) {
                    out.StartParagraph(level);
                } else if (IsBlock(name)) {
                    out.StartParagraph();
                } else if (name == u"br") {
                    out.AddLineBreak();
                } else if (IsBold(name)) {
                    out.SetBold(true);
                } else if (IsItalic(name)) {
                    out.SetItalic(true);
                }
                break;
            }
            case QXmlStreamReader::EndElement: {
                if (path.empty()) break;
                const QString name = path.back();
                const bool skipped = skipFrom >= 0;
                if (skipped && static_cast<int>(path.size()) == skipFrom) skipFrom = -1;
                const int depth = static_cast<int>(path.size());
                path.pop_back();
                if (skipped) break;
                if (notes.End(depth, out)) {
                } else if (HeadingLevel(name) || IsBlock(name)) {
                    out.EndParagraph();
                } else if (IsBold(name)) {
                    out.SetBold(false);
                } else if (IsItalic(name)) {
                    out.SetItalic(false);
                }
                break;
            }
            case QXmlStreamReader::Characters:
                if (skipFrom < 0 && !path.empty()) {
                    if (!notes.DropsText(out)) out.AddText(reader.text());
                } else if (title && path.size() == 3 && path[1] == u"head" && path[2] == u"title" && title->size() < 4096) {
                    *title += reader.text();
                }
                break;
            case QXmlStreamReader::EntityReference:
                if (skipFrom < 0 && !path.empty() && !notes.DropsText(out)) out.AddText(HtmlEntityText(reader.name()));
                break;
            default:
                break;
        }
        if (out.Overflowed()) return BookReadStatus::TooLarge;
    }
    out.EndNote();  // a note ends with its chapter's file
    out.EndParagraph();
    if (out.Overflowed()) return BookReadStatus::TooLarge;
    if (wellFormed) *wellFormed = !reader.hasError();
    if (title) *title = title->simplified();
    return seenRoot ? BookReadStatus::Ok : BookReadStatus::Damaged;
}

}  // namespace moratutor::books

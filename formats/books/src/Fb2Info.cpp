#include "BookInfoReaders.h"

#include "XmlSupport.h"

#include <QXmlStreamReader>

namespace moratutor::books {

namespace {

constexpr qsizetype kMaxField = 4096;
constexpr qsizetype kMaxAnnotation = 64 * 1024;
constexpr qsizetype kMaxCoverBase64 = 16 * 1024 * 1024;

// The text of the element the reader stands on, its children's text included.
QString ElementText(QXmlStreamReader& reader) {
    return reader.readElementText(QXmlStreamReader::IncludeChildElements).simplified().left(kMaxField);
}

BookAuthor ReadAuthor(QXmlStreamReader& reader) {
    BookAuthor author;
    while (reader.readNextStartElement()) {
        const QStringView name = reader.name();
        if (name == u"first-name") author.FirstName = ElementText(reader);
        else if (name == u"middle-name") author.MiddleName = ElementText(reader);
        else if (name == u"last-name") author.LastName = ElementText(reader);
        else if (name == u"nickname") author.Nickname = ElementText(reader);
        else reader.skipCurrentElement();
    }
    return author;
}

QString ReadAnnotation(QXmlStreamReader& reader) {
    QStringList paragraphs;
    QString paragraph;
    int depth = 1;
    while (depth > 0 && !reader.atEnd()) {
        switch (reader.readNext()) {
            case QXmlStreamReader::StartElement:
                ++depth;
                break;
            case QXmlStreamReader::EndElement:
                --depth;
                if (reader.name() == u"p" || reader.name() == u"v" || reader.name() == u"subtitle" || depth == 0) {
                    if (!paragraph.simplified().isEmpty()) paragraphs << paragraph.simplified();
                    paragraph.clear();
                }
                break;
            case QXmlStreamReader::Characters:
                if (paragraph.size() < kMaxAnnotation) paragraph += reader.text();
                break;
            default:
                break;
        }
    }
    return paragraphs.join(u'\n').left(kMaxAnnotation);
}

void ReadTitleInfo(QXmlStreamReader& reader, BookInfo& info, QString& coverHref) {
    while (reader.readNextStartElement()) {
        const QStringView name = reader.name();
        if (name == u"book-title") {
            info.Title = ElementText(reader);
        } else if (name == u"author") {
            const BookAuthor author = ReadAuthor(reader);
            if (!author.IsEmpty() && info.Authors.size() < 64) info.Authors.push_back(author);
        } else if (name == u"lang") {
            info.Language = ElementText(reader).left(35);
        } else if (name == u"annotation") {
            info.Annotation = ReadAnnotation(reader);
        } else if (name == u"coverpage") {
            while (reader.readNextStartElement()) {
                for (const QXmlStreamAttribute& attribute : reader.attributes())
                    if (attribute.name() == u"href" && coverHref.isEmpty()) coverHref = attribute.value().toString();
                reader.skipCurrentElement();
            }
        } else {
            reader.skipCurrentElement();
        }
    }
}

// The binary with the id, found by its text: the body lies between description and
// binaries, and need not be parsed again for it.
void ReadCover(const QString& xml, const QString& id, BookInfo& info) {
    for (qsizetype at = xml.indexOf(u"<binary"); at >= 0; at = xml.indexOf(u"<binary", at + 7)) {
        const qsizetype end = xml.indexOf(u"</binary>", at);
        if (end < 0 || end - at > kMaxCoverBase64) return;
        QXmlStreamReader reader(xml.mid(at, end - at + 9));
        if (!reader.readNextStartElement()) continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        if (attributes.value(QStringLiteral("id")) != id) continue;
        const QString type = attributes.value(QStringLiteral("content-type")).toString();
        const QByteArray bytes = QByteArray::fromBase64(reader.readElementText().toLatin1());
        if (bytes.isEmpty() || !type.startsWith(u"image/")) return;
        info.Cover = bytes;
        info.CoverMediaType = type;
        info.CoverFileName = id;
        return;
    }
}

}  // namespace

BookInfo ReadFb2Info(const QString& xml) {
    BookInfo info;
    QXmlStreamReader reader(xml);
    LimitEntityExpansion(reader);
    QString coverHref;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::DTD && DeclaresHostileEntities(reader)) return info;
        if (token != QXmlStreamReader::StartElement) continue;
        if (reader.name() == u"title-info") {
            ReadTitleInfo(reader, info, coverHref);
        } else if (reader.name() == u"body") {
            break;  // the description comes before the text
        }
    }
    if (coverHref.startsWith(u'#')) ReadCover(xml, coverHref.mid(1), info);
    return info;
}

}  // namespace moratutor::books

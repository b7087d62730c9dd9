#include "BookInfoReaders.h"

#include "XmlSupport.h"
#include "moratutor/books/ZipArchive.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>

namespace moratutor::books {

namespace {

constexpr qsizetype kMaxField = 4096;
constexpr qsizetype kMaxDescription = 64 * 1024;
constexpr std::size_t kMaxCoverBytes = std::size_t{16} << 20;

struct CoverItem {
    QString Href;
    QString MediaType;
};

// A description may carry escaped HTML: its tags go, its paragraphs become lines.
QString PlainDescription(QString text) {
    text.replace(QRegularExpression(QStringLiteral("<\\s*(br|/p|/div|/li)[^>]*>")), QStringLiteral("\n"));
    text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    QStringList lines;
    for (const QString& line : text.split(u'\n'))
        if (!line.simplified().isEmpty()) lines << line.simplified();
    return lines.join(u'\n').left(kMaxDescription);
}

}  // namespace

BookInfo ReadEpubInfo(const ZipReader& archive, const QString& packageXml, const QString& packageFolder) {
    BookInfo info;
    QXmlStreamReader reader(packageXml);
    LimitEntityExpansion(reader);
    QHash<QString, CoverItem> items;
    QString coverId;
    CoverItem cover;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::DTD && DeclaresHostileEntities(reader)) return info;
        if (token != QXmlStreamReader::StartElement) continue;
        const QStringView name = reader.name();
        const QXmlStreamAttributes attributes = reader.attributes();
        if (name == u"title" && info.Title.isEmpty()) {
            info.Title = reader.readElementText(QXmlStreamReader::IncludeChildElements).simplified().left(kMaxField);
        } else if (name == u"creator" && info.Authors.size() < 64) {
            const BookAuthor author =
                AuthorFromDisplayName(reader.readElementText(QXmlStreamReader::IncludeChildElements).left(kMaxField));
            if (!author.IsEmpty()) info.Authors.push_back(author);
        } else if (name == u"language" && info.Language.isEmpty()) {
            info.Language = reader.readElementText().simplified().left(35);
        } else if (name == u"description" && info.Annotation.isEmpty()) {
            info.Annotation = PlainDescription(reader.readElementText(QXmlStreamReader::IncludeChildElements).left(kMaxDescription));
        } else if (name == u"meta" && attributes.value(QStringLiteral("name")) == u"cover") {
            coverId = attributes.value(QStringLiteral("content")).toString();
        } else if (name == u"item") {
            const CoverItem item{attributes.value(QStringLiteral("href")).toString(),
                                 attributes.value(QStringLiteral("media-type")).toString()};
            if (attributes.value(QStringLiteral("properties")).split(u' ').contains(u"cover-image")) cover = item;
            items.insert(attributes.value(QStringLiteral("id")).toString(), item);
        }
    }
    if (cover.Href.isEmpty() && !coverId.isEmpty()) cover = items.value(coverId);
    if (cover.Href.isEmpty() || !cover.MediaType.startsWith(u"image/")) return info;
    QString path = QUrl::fromPercentEncoding(cover.Href.toUtf8());
    if (!packageFolder.isEmpty()) path = packageFolder + u'/' + path;
    bool complete = false;
    const auto bytes = archive.Read(QDir::cleanPath(path).toStdString(), kMaxCoverBytes, &complete);
    if (!bytes || !complete || bytes->empty()) return info;
    info.Cover = QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
    info.CoverMediaType = cover.MediaType;
    info.CoverFileName = QUrl(cover.Href).fileName();
    return info;
}

}  // namespace moratutor::books

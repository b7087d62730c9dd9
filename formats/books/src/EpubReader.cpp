#include "moratutor/books/EpubReader.h"

#include "moratutor/books/DocumentBuilder.h"
#include "BookInfoReaders.h"
#include "XhtmlWalker.h"
#include "XmlSupport.h"
#include "moratutor/books/ZipArchive.h"

#include <QDir>
#include <QHash>
#include <QTextDocument>
#include <QUrl>
#include <QXmlStreamReader>

#include <vector>

namespace moratutor::books {

namespace {

constexpr std::size_t kMaxPackageBytes = std::size_t{16} << 20;

struct ManifestItem {
    QString Href;
    QString MediaType;
};

struct Package {
    QString Title;
    QHash<QString, ManifestItem> Manifest;
    std::vector<QString> Spine;  // ids, reading order
};

QString RootFilePath(const ZipReader& archive) {
    const auto container = archive.Read("META-INF/container.xml", kMaxPackageBytes);
    if (!container) return {};
    QXmlStreamReader reader(DecodeXml(*container));
    LimitEntityExpansion(reader);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == u"rootfile") {
            return reader.attributes().value(QStringLiteral("full-path")).toString();
        }
    }
    return {};
}

bool ReadPackage(const std::string& bytes, const BookReadLimits& limits, Package& package) {
    QXmlStreamReader reader(DecodeXml(bytes));
    LimitEntityExpansion(reader);
    bool inTitle = false;
    bool haveTitle = false;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::DTD && DeclaresHostileEntities(reader)) return false;
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = reader.name();
            const QXmlStreamAttributes attributes = reader.attributes();
            if (name == u"title" && !haveTitle) {
                inTitle = true;
            } else if (name == u"item") {
                package.Manifest.insert(attributes.value(QStringLiteral("id")).toString(),
                                        {attributes.value(QStringLiteral("href")).toString(),
                                         attributes.value(QStringLiteral("media-type")).toString()});
            } else if (name == u"itemref" && attributes.value(QStringLiteral("linear")) != u"no") {
                if (package.Spine.size() >= limits.MaxSpineItems) return false;
                package.Spine.push_back(attributes.value(QStringLiteral("idref")).toString());
            }
        } else if (token == QXmlStreamReader::EndElement && inTitle) {
            inTitle = false;
            haveTitle = true;
        } else if (token == QXmlStreamReader::Characters && inTitle && package.Title.size() < 4096) {
            package.Title += reader.text();
        }
    }
    package.Title = package.Title.simplified();
    return !package.Spine.empty();
}

// The archive path of an href, relative to the package's folder.
std::string EntryPath(const QString& packageFolder, const QString& href) {
    QString path = QUrl::fromPercentEncoding(href.section(u'#', 0, 0).toUtf8());
    if (!packageFolder.isEmpty()) path = packageFolder + u'/' + path;
    return QDir::cleanPath(path).toStdString();
}

}  // namespace

bool LooksLikeEpub(const ZipReader& archive) {
    const auto mimetype = archive.Read("mimetype", 256);
    return mimetype && QString::fromLatin1(mimetype->data(), static_cast<qsizetype>(mimetype->size())).trimmed() ==
                           u"application/epub+zip";
}

BookReadStatus ReadEpub(const ZipReader& archive, QTextDocument& document, const BookReadLimits& limits, QString* title,
                        BookInfo* info) {
    const QString packagePath = RootFilePath(archive);
    if (packagePath.isEmpty()) return BookReadStatus::Damaged;
    const auto packageBytes = archive.Read(packagePath.toStdString(), kMaxPackageBytes);
    Package package;
    if (!packageBytes || !ReadPackage(*packageBytes, limits, package)) return BookReadStatus::Damaged;
    const QString folder = packagePath.contains(u'/') ? packagePath.section(u'/', 0, -2) : QString();

    QTextDocument scratch;
    DocumentBuilder out(scratch, limits);
    std::size_t unpacked = packageBytes->size();
    bool anyChapter = false;
    for (const QString& id : package.Spine) {
        const auto item = package.Manifest.constFind(id);
        if (item == package.Manifest.constEnd()) continue;
        if (!item->MediaType.contains(u"html")) continue;  // only (X)HTML chapters hold text
        if (unpacked >= limits.MaxUnpackedBytes) return BookReadStatus::TooLarge;
        bool complete = false;
        const auto chapter = archive.Read(EntryPath(folder, item->Href), limits.MaxUnpackedBytes - unpacked, &complete);
        if (!chapter) continue;
        unpacked += chapter->size();
        if (!complete && unpacked >= limits.MaxUnpackedBytes) return BookReadStatus::TooLarge;
        out.ResetEmphasis();
        out.SetNoteScope(item->Href.section(u'#', 0, 0).section(u'/', -1));
        const BookReadStatus status = ReadXhtml(DecodeXml(*chapter), out, limits);
        if (status == BookReadStatus::TooDeep || status == BookReadStatus::TooLarge) return status;
        anyChapter = anyChapter || status == BookReadStatus::Ok;
    }
    if (!anyChapter) return BookReadStatus::Damaged;
    out.AppendNotes();
    if (out.Overflowed()) return BookReadStatus::TooLarge;
    AppendDocument(document, scratch);
    if (title) *title = package.Title;
    if (info) {
        *info = ReadEpubInfo(archive, DecodeXml(*packageBytes), folder);
        if (info->Title.isEmpty()) info->Title = package.Title;
    }
    return BookReadStatus::Ok;
}

}  // namespace moratutor::books

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

// Fonts are obfuscated (IDPF, Adobe) by books anyone may read; any other cipher is DRM.
bool IsEncrypted(const ZipReader& archive) {
    if (archive.StatedSize("META-INF/rights.xml")) return true;
    const auto encryption = archive.Read("META-INF/encryption.xml", kMaxPackageBytes);
    if (!encryption) return false;
    QXmlStreamReader reader(DecodeXml(*encryption));
    LimitEntityExpansion(reader);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != u"EncryptionMethod") continue;
        const QStringView algorithm = reader.attributes().value(QStringLiteral("Algorithm"));
        if (algorithm != u"http://www.idpf.org/2008/embedding" && algorithm != u"http://ns.adobe.com/pdf/enc#RC") return true;
    }
    return false;
}

struct Chapter {
    std::string Path;  // in the archive
    QString File;      // the file name its links use, which scopes its notes' ids
};

// The (X)HTML chapters of the spine, in reading order.
std::vector<Chapter> Chapters(const Package& package, const QString& folder) {
    std::vector<Chapter> chapters;
    for (const QString& id : package.Spine) {
        const auto item = package.Manifest.constFind(id);
        if (item == package.Manifest.constEnd()) continue;
        if (!item->MediaType.contains(u"html")) continue;  // only (X)HTML chapters hold text
        chapters.push_back({EntryPath(folder, item->Href), item->Href.section(u'#', 0, 0).section(u'/', -1)});
    }
    return chapters;
}

// What the archive says the chapters take unpacked, counted before any is read: a book of
// a few hundred kilobytes may unpack to gigabytes.
bool StatedTooLarge(const ZipReader& archive, const std::vector<Chapter>& chapters, std::size_t stated,
                    std::size_t limit) {
    for (const Chapter& chapter : chapters) {
        stated += archive.StatedSize(chapter.Path).value_or(0);
        if (stated > limit) return true;
    }
    return false;
}

}  // namespace

bool LooksLikeEpub(const ZipReader& archive) {
    const auto mimetype = archive.Read("mimetype", 256);
    return mimetype && QString::fromLatin1(mimetype->data(), static_cast<qsizetype>(mimetype->size())).trimmed() ==
                           u"application/epub+zip";
}

BookReadStatus ReadEpub(const ZipReader& archive, QTextDocument& document, const BookReadLimits& limits, BookInfo* info) {
    if (IsEncrypted(archive)) return BookReadStatus::Encrypted;
    const QString packagePath = RootFilePath(archive);
    if (packagePath.isEmpty()) return BookReadStatus::Damaged;
    const auto packageBytes = archive.Read(packagePath.toStdString(), kMaxPackageBytes);
    Package package;
    if (!packageBytes || !ReadPackage(*packageBytes, limits, package)) return BookReadStatus::Damaged;
    const QString folder = packagePath.contains(u'/') ? packagePath.section(u'/', 0, -2) : QString();
    const std::vector<Chapter> chapters = Chapters(package, folder);
    if (StatedTooLarge(archive, chapters, packageBytes->size(), limits.MaxUnpackedBytes)) return BookReadStatus::TooLarge;

    DocumentAside aside(document);
    DocumentBuilder out(aside.Target(), limits);
    std::size_t unpacked = packageBytes->size();
    bool anyChapter = false;
    bool damaged = false;
    for (const Chapter& item : chapters) {
        if (unpacked >= limits.MaxUnpackedBytes) return BookReadStatus::TooLarge;
        bool complete = false;
        const auto chapter = archive.Read(item.Path, limits.MaxUnpackedBytes - unpacked, &complete);
        if (!chapter) continue;
        unpacked += chapter->size();
        if (!complete && unpacked >= limits.MaxUnpackedBytes) return BookReadStatus::TooLarge;
        out.ResetEmphasis();
        out.SetNoteScope(item.File);
        BookInfo chapterInfo;
        const BookReadStatus status = ReadXhtml(DecodeXml(*chapter), out, limits, XmlDamage::ReadOn, &chapterInfo);
        if (status == BookReadStatus::TooDeep || status == BookReadStatus::TooLarge) return status;
        anyChapter = anyChapter || status == BookReadStatus::Ok;
        damaged = damaged || chapterInfo.Damaged || !complete;
    }
    if (!anyChapter) return BookReadStatus::Damaged;
    out.AppendNotes();
    if (out.Overflowed()) return BookReadStatus::TooLarge;
    aside.Commit();
    if (info) {
        *info = ReadEpubInfo(archive, DecodeXml(*packageBytes), folder);
        if (info->Title.isEmpty()) info->Title = package.Title;
        info->Damaged = damaged;
    }
    return BookReadStatus::Ok;
}

}  // namespace moratutor::books

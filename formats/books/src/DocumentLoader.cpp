#include "moratutor/books/DocumentLoader.h"

#include "moratutor/books/EpubReader.h"
#include "moratutor/books/Fb2Reader.h"
#include "moratutor/books/HtmlReader.h"
#include "moratutor/rtf/RtfReader.h"
#include "moratutor/books/ZipArchive.h"

#include "moratutor/TextDecoder.h"

#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace moratutor::books {

namespace {

bool LooksLikeZip(std::string_view bytes) { return bytes.rfind("PK\x03\x04", 0) == 0; }

}  // namespace

// NUL bytes: no text in Windows-1251 or UTF-8 holds them, and UTF-16 comes with a byte-order mark.
QString BinaryContent(std::string_view bytes) {
    static const std::pair<std::string_view, const char*> kSignatures[] = {
        {"\x89PNG\r\n\x1A\n", "изображение PNG"},
        {"\xFF\xD8\xFF", "изображение JPEG"},
        {"GIF87a", "изображение GIF"},
        {"GIF89a", "изображение GIF"},
        {"%PDF-", "документ PDF"},
        {"PK\x03\x04", "архив ZIP"},
        {"Rar!\x1A\x07", "архив RAR"},
        {std::string_view("7z\xBC\xAF\x27\x1C", 6), "архив 7z"},
        {"\x1F\x8B", "архив gzip"},
        {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", "документ Microsoft Office"},
    };
    for (const auto& [signature, kind] : kSignatures) {
        if (bytes.rfind(signature, 0) == 0) return QString::fromUtf8(kind);
    }
    const codecs::TextEncoding encoding = codecs::DetectEncoding(bytes.substr(0, 4));
    if (encoding == codecs::TextEncoding::Utf16LE || encoding == codecs::TextEncoding::Utf16BE) return {};
    if (bytes.substr(0, 64 * 1024).find('\0') != std::string_view::npos) return QStringLiteral("двоичные данные");
    return {};
}

namespace {

bool LooksLikeXml(std::string_view bytes) {
    std::size_t start = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    while (start < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[start]))) ++start;
    return bytes.substr(start, 1) == "<" || bytes.rfind("\xFF\xFE", 0) == 0 || bytes.rfind("\xFE\xFF", 0) == 0;
}

bool EndsWithFb2(const std::string& name) {
    if (name.size() < 4) return false;
    std::string end = name.substr(name.size() - 4);
    for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == ".fb2";
}

// The first entry of the archive that is a FictionBook, whatever its name; names ending
// in .fb2 are looked at first.
std::optional<std::string> ZippedFb2(const ZipReader& archive, const BookReadLimits& limits, bool* complete) {
    std::vector<std::string> names = archive.EntryNames();
    std::stable_partition(names.begin(), names.end(), EndsWithFb2);
    int looked = 0;
    for (const std::string& name : names) {
        if (name.empty() || name.back() == '/') continue;
        if (++looked > 16) break;  // a book archive holds the book, not a library
        const auto head = archive.Read(name, 4096);
        if (!head || !LooksLikeFb2(*head)) continue;
        return archive.Read(name, limits.MaxUnpackedBytes, complete);
    }
    return std::nullopt;
}

BookReadStatus FromRtf(rtf::RtfReadStatus status) {
    switch (status) {
        case rtf::RtfReadStatus::Ok: return BookReadStatus::Ok;
        case rtf::RtfReadStatus::NotRtf: return BookReadStatus::NotBook;
        case rtf::RtfReadStatus::TooDeep: return BookReadStatus::TooDeep;
        case rtf::RtfReadStatus::TooLarge: return BookReadStatus::TooLarge;
    }
    return BookReadStatus::Damaged;
}

BookReadStatus LoadZip(std::string_view bytes, QTextDocument& document, LoadedDocument& loaded, BookInfo& info,
                       const BookReadLimits& limits) {
    const std::optional<ZipReader> archive = ZipReader::Open(bytes);
    if (!archive) return BookReadStatus::Damaged;
    if (LooksLikeEpub(*archive)) {
        loaded.Type = DocumentType::Epub;
        return ReadEpub(*archive, document, limits, &info);
    }
    bool complete = false;
    const std::optional<std::string> book = ZippedFb2(*archive, limits, &complete);
    if (!book) {
        loaded.LooksLike = BinaryContent(bytes);
        return BookReadStatus::Binary;
    }
    if (!complete && book->size() >= limits.MaxUnpackedBytes) return BookReadStatus::TooLarge;
    loaded.Type = DocumentType::ZippedFb2;
    return ReadFb2(*book, document, limits, &info);
}

}  // namespace

DocumentType DetectDocumentType(std::string_view bytes) {
    if (rtf::LooksLikeRtf(bytes)) return DocumentType::Rtf;
    if (LooksLikeZip(bytes)) {
        const std::optional<ZipReader> archive = ZipReader::Open(bytes);
        if (!archive) return DocumentType::UnknownZip;
        if (LooksLikeEpub(*archive)) return DocumentType::Epub;
        bool complete = false;
        return ZippedFb2(*archive, BookReadLimits{.MaxUnpackedBytes = 4096}, &complete) ? DocumentType::ZippedFb2
                                                                                       : DocumentType::UnknownZip;
    }
    if (LooksLikeXml(bytes) && LooksLikeFb2(bytes)) return DocumentType::Fb2;
    if (LooksLikeHtml(bytes)) return DocumentType::Html;
    return DocumentType::PlainText;
}

// Books and pages by their reader; the document is unchanged unless Ok.
BookReadStatus LoadBook(std::string_view bytes, QTextDocument& document, LoadedDocument& result,
                        const BookReadLimits& limits) {
    BookInfo info;
    BookReadStatus status = BookReadStatus::Ok;
    if (LooksLikeZip(bytes)) {
        result.Type = DocumentType::UnknownZip;
        status = LoadZip(bytes, document, result, info, limits);
    } else if (LooksLikeXml(bytes) && LooksLikeFb2(bytes)) {
        result.Type = DocumentType::Fb2;
        status = ReadFb2(bytes, document, limits, &info);
    } else {
        result.Type = DocumentType::Html;
        status = ReadHtml(bytes, document, limits, &info);
    }
    result.Book = std::move(info);
    return status;
}

BookReadStatus LoadDocument(std::string_view bytes, QTextDocument& document, LoadedDocument* loaded,
                            const BookReadLimits& limits) {
    LoadedDocument result;
    BookReadStatus status = BookReadStatus::Ok;
    if (bytes.size() > limits.MaxBytes) {
        status = BookReadStatus::TooLarge;
    } else if (rtf::LooksLikeRtf(bytes)) {
        result.Type = DocumentType::Rtf;
        rtf::RtfReadLimits rtfLimits;
        rtfLimits.MaxDepth = limits.MaxDepth;
        rtfLimits.MaxBytes = limits.MaxBytes;
        rtfLimits.MaxParagraphs = limits.MaxParagraphs;
        status = FromRtf(rtf::ReadRtf(bytes, document, rtfLimits));
    } else if (const DocumentType type = DetectDocumentType(bytes); type != DocumentType::PlainText) {
        status = LoadBook(bytes, document, result, limits);
    } else if (const QString kind = BinaryContent(bytes); !kind.isEmpty()) {
        result.Type = DocumentType::Binary;
        result.LooksLike = kind;
        status = BookReadStatus::Binary;
    } else {
        const std::u16string text = codecs::DecodeText(bytes);
        QTextCursor cursor(&document);
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QString::fromStdU16String(text));
    }
    if (loaded) *loaded = result;
    if (status != BookReadStatus::Ok) return status;
    if (!result.Book.Title.isEmpty()) document.setMetaInformation(QTextDocument::DocumentTitle, result.Book.Title);
    return status;
}

QString LoadErrorMessage() { return QStringLiteral("Failed to Load Stream"); }

QString LoadErrorMessage(BookReadStatus status, const LoadedDocument& loaded) {
    if (status == BookReadStatus::Encrypted)
        return QStringLiteral("Книга зашифрована (защищена DRM): прочитать её текст нельзя.");
    if (status == BookReadStatus::Binary) {
        const QString kind = loaded.LooksLike.isEmpty() ? QStringLiteral("двоичные данные") : loaded.LooksLike;
        return QStringLiteral("Файл не текст и не книга: похоже, это %1.").arg(kind);
    }
    return LoadErrorMessage();
}

QString DamagedBookWarning() {
    return QStringLiteral("Книга повреждена: показан текст, который удалось прочитать.");
}

}  // namespace moratutor::books

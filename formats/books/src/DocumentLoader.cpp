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
#include <string>
#include <vector>

namespace moratutor::books {

namespace {

bool LooksLikeZip(std::string_view bytes) { return bytes.rfind("PK\x03\x04", 0) == 0; }

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

BookReadStatus LoadZip(std::string_view bytes, QTextDocument& document, LoadedDocument& loaded,
                       const BookReadLimits& limits) {
    const std::optional<ZipReader> archive = ZipReader::Open(bytes);
    if (!archive) return BookReadStatus::Damaged;
    if (LooksLikeEpub(*archive)) {
        loaded.Type = DocumentType::Epub;
        return ReadEpub(*archive, document, limits, &loaded.Title, &loaded.Book);
    }
    bool complete = false;
    const std::optional<std::string> book = ZippedFb2(*archive, limits, &complete);
    if (!book) return BookReadStatus::Damaged;
    if (!complete && book->size() >= limits.MaxUnpackedBytes) return BookReadStatus::TooLarge;
    loaded.Type = DocumentType::ZippedFb2;
    return ReadFb2(*book, document, limits, &loaded.Title, &loaded.Book);
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
    } else if (LooksLikeZip(bytes)) {
        result.Type = DocumentType::UnknownZip;
        status = LoadZip(bytes, document, result, limits);
    } else if (LooksLikeXml(bytes) && LooksLikeFb2(bytes)) {
        result.Type = DocumentType::Fb2;
        status = ReadFb2(bytes, document, limits, &result.Title, &result.Book);
    } else if (LooksLikeHtml(bytes)) {
        result.Type = DocumentType::Html;
        status = ReadHtml(bytes, document, limits, &result.Title);
    } else {
        const std::u16string text = codecs::DecodeText(bytes);
        QTextCursor cursor(&document);
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QString::fromStdU16String(text));
    }
    if (result.Book.Title.isEmpty()) result.Book.Title = result.Title;
    if (loaded) *loaded = result;
    if (status != BookReadStatus::Ok) return status;
    if (!result.Title.isEmpty()) document.setMetaInformation(QTextDocument::DocumentTitle, result.Title);
    return status;
}

QString LoadErrorMessage() { return QStringLiteral("Failed to Load Stream"); }

}  // namespace moratutor::books

#include "DocumentIo.h"

#include "moratutor/books/BookWriters.h"
#include "moratutor/books/DocumentLoader.h"
#include "moratutor/books/HtmlReader.h"
#include "moratutor/books/PagedOutput.h"
#include "moratutor/rtf/RtfWriter.h"
#include "SafeFile.h"
#include "moratutor/books/ZipArchive.h"

#include "moratutor/Utf8.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTextDocument>

#include <array>
#include <memory>
#include <utility>

namespace moratutor::convert {

namespace {

constexpr std::array<std::pair<const char*, OutputFormat>, 7> kFormats{{
    {"txt", OutputFormat::Txt},
    {"rtf", OutputFormat::Rtf},
    {"epub", OutputFormat::Epub},
    {"fb2", OutputFormat::Fb2},
    {"fb2.zip", OutputFormat::ZippedFb2},
    {"pdf", OutputFormat::Pdf},
    {"html", OutputFormat::Html},
}};

// Documents need fonts, and fonts need an application; the tool shows no window, so the
// offscreen platform serves wherever it runs. Qt's own chatter stays off standard error.
void EnsureApplication() {
    if (QGuiApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg || type == QtCriticalMsg) fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    });
    static int argc = 1;
    static char name[] = "moratutor-convert";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QGuiApplication> application = std::make_unique<QGuiApplication>(argc, argv);
}

// The text read gives a line break inside a paragraph as a line feed, like a paragraph's
// end; the formats know where paragraphs start, so every other line feed is a line break
// again (U+2028), which the writers keep as one.
std::u16string WithLineBreaks(std::u16string text, const converted::SourceFormats& formats) {
    std::size_t next = 1;  // the first paragraph's start is no paragraph's end
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\n') continue;
        while (next < formats.Paragraphs.size() && formats.Paragraphs[next].Start <= i) ++next;
        if (next >= formats.Paragraphs.size() || formats.Paragraphs[next].Start != i + 1) text[i] = u'\u2028';
    }
    return text;
}

}  // namespace

std::optional<OutputFormat> ParseOutputFormat(const std::string& name) {
    for (const auto& [text, format] : kFormats) {
        if (name == text) return format;
    }
    return std::nullopt;
}

OutputFormat FormatFromFileName(const std::string& path) {
    const QString suffix = QFileInfo(QString::fromLocal8Bit(path)).suffix().toLower();
    if (suffix == u"htm") return OutputFormat::Html;
    if (suffix == u"zip") return OutputFormat::ZippedFb2;
    return ParseOutputFormat(suffix.toStdString()).value_or(OutputFormat::Txt);
}

bool IsPlainText(std::string_view bytes) {
    return books::DetectDocumentType(bytes) == books::DocumentType::PlainText && books::BinaryContent(bytes).isEmpty();
}

std::u16string LoadDocumentText(std::string_view bytes, std::string* title, converted::SourceFormats* formats,
                                bool* damaged, books::BookInfo* details) {
    EnsureApplication();
    books::SealedDocument document;
    document.setUndoRedoEnabled(false);
    books::LoadedDocument loaded;
    const books::BookReadStatus status = books::LoadDocument(bytes, document, &loaded);
    if (status != books::BookReadStatus::Ok) throw DocumentError(books::LoadErrorMessage(status, loaded).toStdString());
    if (title) *title = loaded.Book.Title.toStdString();
    if (damaged) *damaged = loaded.Book.Damaged;
    if (formats) *formats = converted::TakeFormats(document);
    if (details) *details = loaded.Book;
    // The raw text keeps no-break spaces, which the syllable table must see as they are.
    QString text = document.toRawText();
    for (QChar& c : text) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == QChar(0xFDD0) || c == QChar(0xFDD1))
            c = u'\n';
    }
    return text.toStdU16String();
}

std::string DamagedWarning() { return "moratutor-convert: " + books::DamagedBookWarning().toStdString(); }

std::string ZippedEntryName(const std::string& path) {
    QString name = QFileInfo(QString::fromLocal8Bit(path)).fileName();
    if (name.endsWith(u".zip", Qt::CaseInsensitive)) name.chop(4);
    if (!name.endsWith(u".fb2", Qt::CaseInsensitive)) name += u".fb2";
    return name == u".fb2" ? std::string("book.fb2") : name.toStdString();
}

std::string RenderDocument(OutputFormat format, const std::u16string& text, const std::string& title,
                           const converted::SourceFormats& formats, const std::string& entryName,
                           const books::BookInfo& details) {
    if (format == OutputFormat::Txt) return codecs::EncodeUtf8(text);
    EnsureApplication();
    QTextDocument document;
    document.setUndoRedoEnabled(false);
    document.setDefaultFont(books::HandoutFont());
    if (formats.Plain())
        document.setPlainText(QString::fromStdU16String(text));
    else
        converted::FillFormatted(document, WithLineBreaks(text, formats), formats);
    books::BookInfo book = details;
    book.Title = QString::fromStdString(title);
    const QString& bookTitle = book.Title;
    switch (format) {
        case OutputFormat::Rtf: return rtf::WriteRtf(document);
        case OutputFormat::Fb2: return books::WriteFb2Book(document, book);
        case OutputFormat::ZippedFb2:
            if (auto zipped = books::BuildZip({{entryName, books::WriteFb2Book(document, book), true}}))
                return std::move(*zipped);
            break;
        case OutputFormat::Html: return books::WriteHtml(document, bookTitle);
        case OutputFormat::Epub:
            if (auto epub = books::WriteEpubBook(document, book)) return std::move(*epub);
            break;
        case OutputFormat::Pdf:
            if (auto pdf = books::RenderPdf(document, bookTitle)) return pdf->toStdString();
            break;
        case OutputFormat::Txt: break;
    }
    throw DocumentError("Failed to Save Stream");
}

void WriteDocumentFile(const std::string& path, const std::string& bytes) {
    const QString file = QString::fromLocal8Bit(path);
    const SaveOutcome saved = SaveFileSafely(file, QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    // The window says only "Failed to Save Stream"; a script's log is better off with the
    // system's reason as well (a full disk, the size limit).
    const QString failed = QStringLiteral("Failed to Save Stream. ") + saved.reason;
    if (!saved.Saved()) throw DocumentError(SaveFailureMessage(file, saved, failed).toLocal8Bit().toStdString());
}

std::string TitleFromFileName(const std::string& path) {
    if (path.empty() || path == "-") return {};
    QString name = QFileInfo(QString::fromLocal8Bit(path)).fileName();
    // Every known extension goes: "book.fb2.zip" is "book".
    static const QStringList kExtensions{QStringLiteral(".zip"), QStringLiteral(".fb2"),  QStringLiteral(".epub"),
                                         QStringLiteral(".html"), QStringLiteral(".htm"), QStringLiteral(".txt"),
                                         QStringLiteral(".rtf"),  QStringLiteral(".pdf")};
    for (bool removed = true; removed;) {
        removed = false;
        for (const QString& extension : kExtensions) {
            if (name.size() > extension.size() && name.endsWith(extension, Qt::CaseInsensitive)) {
                name.chop(extension.size());
                removed = true;
            }
        }
    }
    return name.toStdString();
}

}  // namespace moratutor::convert

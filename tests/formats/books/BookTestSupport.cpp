#include "BookTestSupport.h"

#include "moratutor/books/ZipArchive.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

namespace moratutor::testing {

std::string Fb2(const std::string& body, const std::string& title) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" xmlns:l=\"http://www.w3.org/1999/xlink\">"
           "<description><title-info><book-title>" +
           title + "</book-title><lang>ru</lang></title-info></description><body>" + body + "</body></FictionBook>";
}

std::string Xhtml(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
           "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\">"
           "<head><title>Глава</title><style>p { color: red }</style></head><body>" +
           body + "</body></html>";
}

std::string Epub(const std::vector<std::pair<std::string, std::string>>& chapters, const std::string& title,
                 const std::string& extraSpine) {
    std::string manifest;
    std::string spine;
    std::vector<books::ZipEntry> entries{{"mimetype", "application/epub+zip", false},
                                         {"META-INF/container.xml",
                                          "<?xml version=\"1.0\"?><container version=\"1.0\" "
                                          "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
                                          "<rootfile full-path=\"OEBPS/content.opf\" "
                                          "media-type=\"application/oebps-package+xml\"/></rootfiles></container>",
                                          true}};
    int n = 0;
    for (const auto& [file, body] : chapters) {
        std::string id = "c";
        id += std::to_string(++n);
        manifest.append("<item id=\"").append(id).append("\" href=\"").append(file);
        manifest.append("\" media-type=\"application/xhtml+xml\"/>");
        spine.append("<itemref idref=\"").append(id).append("\"/>");
        entries.push_back({"OEBPS/" + file, Xhtml(body), true});
    }
    // The manifest lists the chapters backwards: the spine alone decides the order.
    entries.insert(entries.begin() + 2,
                   {"OEBPS/content.opf",
                    "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\">"
                    "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>" +
                        title + "</dc:title></metadata><manifest>" + manifest + "</manifest><spine>" + spine + extraSpine +
                        "</spine></package>",
                    true});
    return *books::BuildZip(entries);
}

QStringList Marked(const QTextDocument& document) {
    QStringList paragraphs;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString text;
        if (const int level = block.blockFormat().headingLevel()) text = QStringLiteral("#%1 ").arg(level);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            const bool bold = format.fontWeight() >= QFont::DemiBold && block.blockFormat().headingLevel() == 0;
            const bool italic = format.fontItalic();
            const QString b = bold ? QStringLiteral("*") : QString();
            const QString i = italic ? QStringLiteral("_") : QString();
            text += b + i + it.fragment().text() + i + b;
        }
        paragraphs << text;
    }
    return paragraphs;
}

Loaded Load(const std::string& bytes, const books::BookReadLimits& limits) {
    QTextDocument document;
    books::LoadedDocument loaded;
    const books::BookReadStatus status = books::LoadDocument(bytes, document, &loaded, limits);
    return {status, status == books::BookReadStatus::Ok ? Marked(document) : QStringList(), loaded.Book.Title, loaded.Type,
            loaded.Book.Damaged, books::LoadErrorMessage(status, loaded)};
}

std::string ReadFileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool HaveProgram(const char* name) { return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty(); }

QString EpubcheckJar() {
    // Debian's /usr/bin/epubcheck is the jar itself, runnable only where binfmt knows jars.
    const QString jar = QStringLiteral("/usr/share/java/epubcheck.jar");
    return HaveProgram("java") && QFile::exists(jar) ? jar : QString();
}

int RunProgram(const QString& program, const QStringList& arguments, QByteArray* output) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(180000)) return -1;
    if (output) *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

}  // namespace moratutor::testing

#include "moratutor/books/HtmlReader.h"

#include "moratutor/books/DocumentBuilder.h"
#include "XhtmlWalker.h"

#include "moratutor/TextDecoder.h"

#include <QImage>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include <algorithm>
#include <cctype>
#include <string>

namespace moratutor::books {

namespace {

constexpr std::size_t kSniffBytes = 4096;

QString Head(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(std::min(bytes.size(), kSniffBytes))).toLower();
}

QString DecodeHtml(std::string_view bytes) {
    static const QRegularExpression charset(QStringLiteral(R"(<meta[^>]*charset\s*=\s*["']?\s*([a-z0-9_-]+))"));
    const QRegularExpressionMatch match = charset.match(Head(bytes));
    std::u16string text;
    const codecs::TextEncoding detected = codecs::DetectEncoding(bytes);
    const bool hasBom = detected == codecs::TextEncoding::Utf8Bom || detected == codecs::TextEncoding::Utf16LE ||
                        detected == codecs::TextEncoding::Utf16BE;
    if (!hasBom && match.hasMatch() && (match.captured(1) == u"windows-1251" || match.captured(1) == u"cp1251")) {
        text = codecs::DecodeWindows1251(bytes);
    } else {
        text = codecs::DecodeText(bytes);
    }
    return QString::fromStdU16String(text);
}

// Nesting is counted on the raw tags before Qt's parser sees them: a page nested a
// million deep must cost no more than reading it.
bool NestsTooDeep(std::string_view bytes, int maxDepth) {
    int depth = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (bytes[i] != '<') continue;
        const char next = bytes[i + 1];
        if (next == '/') {
            depth = std::max(0, depth - 1);
        } else if ((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z')) {
            const std::size_t close = bytes.find('>', i);
            if (close != std::string_view::npos && bytes[close - 1] == '/') continue;
            // Tags that never hold anything do not nest.
            static const char* const kVoid[] = {"br", "img", "hr", "meta", "link", "input", "wbr", "p", "li", "td", "tr"};
            std::size_t end = i + 1;
            while (end < bytes.size() && std::isalnum(static_cast<unsigned char>(bytes[end]))) ++end;
            std::string tag(bytes.substr(i + 1, end - i - 1));
            std::transform(tag.begin(), tag.end(), tag.begin(), [](unsigned char c) { return std::tolower(c); });
            if (std::any_of(std::begin(kVoid), std::end(kVoid), [&](const char* v) { return tag == v; })) continue;
            if (++depth > maxDepth) return true;
        }
    }
    return false;
}

// Tag soup through Qt's HTML parser. Only the text, its paragraphs and emphasis come
// across: fonts, colours, sizes and the style sheet's other effects stay behind with the
// images, and the page's document loads nothing the page names.
BookReadStatus ReadTagSoup(const QString& html, QTextDocument& document, const BookReadLimits& limits, BookInfo* info) {
    SealedDocument page;
    page.setUndoRedoEnabled(false);
    page.setHtml(html);

    DocumentAside aside(document);
    DocumentBuilder out(aside.Target(), limits);
    for (QTextBlock block = page.begin(); block.isValid(); block = block.next()) {
        out.StartParagraph(block.blockFormat().headingLevel());
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid() || fragment.charFormat().isImageFormat()) continue;
            const QTextCharFormat format = fragment.charFormat();
            const bool bold = format.fontWeight() >= QFont::DemiBold;
            const bool italic = format.fontItalic();
            if (bold) out.SetBold(true);
            if (italic) out.SetItalic(true);
            QString text = fragment.text();
            text.remove(QChar::ObjectReplacementCharacter);
            out.AddText(text);
            if (bold) out.SetBold(false);
            if (italic) out.SetItalic(false);
        }
        if (out.Overflowed()) return BookReadStatus::TooLarge;
    }
    out.EndParagraph();
    if (out.Overflowed()) return BookReadStatus::TooLarge;
    aside.Commit();
    if (info) {
        *info = {};
        info->Title = page.metaInformation(QTextDocument::DocumentTitle).simplified();
    }
    return BookReadStatus::Ok;
}

}  // namespace

bool LooksLikeHtml(std::string_view bytes) {
    const QString head = Head(bytes);
    qsizetype start = 0;
    if (head.startsWith(QStringLiteral("\u00ef\u00bb\u00bf"))) start = 3;  // UTF-8 byte-order mark
    while (start < head.size() && head[start].isSpace()) ++start;
    if (start >= head.size() || head[start] != u'<') return false;
    return head.contains(QStringLiteral("<!doctype html")) || head.contains(QStringLiteral("<html")) ||
           head.contains(QStringLiteral("<head")) || head.contains(QStringLiteral("<body"));
}

QVariant SealedDocument::loadResource(int type, const QUrl& name) {
    if (name.scheme() == u"qrc" || name.scheme() == u"data" || name.toString().startsWith(u":/"))
        return QTextDocument::loadResource(type, name);
    static const QImage blank = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        return image;
    }();
    return blank;
}

BookReadStatus ReadHtml(std::string_view bytes, QTextDocument& document, const BookReadLimits& limits, BookInfo* info) {
    if (bytes.size() > limits.MaxHtmlBytes) return BookReadStatus::TooLarge;
    if (NestsTooDeep(bytes, limits.MaxDepth)) return BookReadStatus::TooDeep;
    const QString html = DecodeHtml(bytes);

    // A well-formed page (XHTML, most converters' HTML) goes through the same reader as an
    // EPUB's chapters, which knows notes from text; only tag soup needs Qt's HTML parser.
    {
        DocumentAside aside(document);
        DocumentBuilder out(aside.Target(), limits);
        BookInfo page;
        const BookReadStatus status = ReadXhtml(html, out, limits, XmlDamage::Stop, &page);
        if (status == BookReadStatus::TooDeep || status == BookReadStatus::TooLarge) return status;
        if (status == BookReadStatus::Ok && !page.Damaged) {
            out.AppendNotes();
            if (out.Overflowed()) return BookReadStatus::TooLarge;
            aside.Commit();
            if (info) {
                *info = {};
                info->Title = page.Title;
            }
            return BookReadStatus::Ok;
        }
    }
    return ReadTagSoup(html, document, limits, info);
}

}  // namespace moratutor::books

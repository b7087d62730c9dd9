#include "XmlSupport.h"

#include "moratutor/TextDecoder.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <algorithm>
#include <utility>

namespace moratutor::books {

namespace {

QString DeclaredEncoding(std::string_view bytes) {
    const std::string_view head = bytes.substr(0, std::min<std::size_t>(bytes.size(), 256));
    if (head.rfind("<?xml", 0) != 0) return {};
    const std::size_t end = head.find("?>");
    static const QRegularExpression encoding(QStringLiteral(R"(encoding\s*=\s*["']([A-Za-z0-9._:-]+)["'])"));
    const QRegularExpressionMatch match =
        encoding.match(QString::fromLatin1(head.data(), static_cast<qsizetype>(std::min(end, head.size()))));
    return match.hasMatch() ? match.captured(1).toLower() : QString();
}

}  // namespace

bool IsOneOf(QStringView name, std::initializer_list<const char16_t*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char16_t* n) { return name == QStringView(n); });
}

QString DecodeXml(std::string_view bytes) {
    const codecs::TextEncoding bom = codecs::DetectEncoding(bytes);
    if (bom == codecs::TextEncoding::Utf8Bom || bom == codecs::TextEncoding::Utf16LE ||
        bom == codecs::TextEncoding::Utf16BE) {
        return QString::fromStdU16String(codecs::DecodeText(bytes));
    }
    const QString encoding = DeclaredEncoding(bytes);
    if (encoding == u"windows-1251" || encoding == u"cp1251" || encoding == u"x-cp1251") {
        return QString::fromStdU16String(codecs::DecodeWindows1251(bytes));
    }
    // Older Russian libraries leave the encoding out of Windows-1251 books: as with plain
    // text, bytes that are not UTF-8 are read as Windows-1251.
    if (encoding.isEmpty() && codecs::DetectEncoding(bytes) == codecs::TextEncoding::Windows1251) {
        return QString::fromStdU16String(codecs::DecodeWindows1251(bytes));
    }
    if (!encoding.isEmpty() && encoding != u"utf-8" && encoding != u"utf8") {
        QStringDecoder decoder(encoding.toLatin1().constData());
        if (decoder.isValid()) return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString RootElementName(std::string_view bytes) {
    QXmlStreamReader reader(DecodeXml(bytes.substr(0, std::min<std::size_t>(bytes.size(), 64 * 1024))));
    LimitEntityExpansion(reader);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement) return reader.name().toString();
        if (reader.hasError()) break;
    }
    return {};
}

bool DeclaresHostileEntities(const QXmlStreamReader& reader) {
    const QXmlStreamEntityDeclarations declarations = reader.entityDeclarations();
    return std::any_of(declarations.begin(), declarations.end(), [](const QXmlStreamEntityDeclaration& d) {
        return d.value().size() > 256 || d.value().contains(u'&') || d.value().contains(u'%');
    });
}

namespace {

// Where the document type declaration begins, when one comes before the root element; -1
// when there is none.
qsizetype DoctypeStart(const QString& xml, qsizetype from) {
    for (qsizetype at = xml.indexOf(u'<', from); at >= 0; at = xml.indexOf(u'<', at + 1)) {
        const QStringView rest = QStringView(xml).mid(at);
        if (rest.startsWith(u"<!DOCTYPE", Qt::CaseInsensitive)) return at;
        if (rest.startsWith(u"<!--")) {
            at = xml.indexOf(u"-->", at);
            if (at < 0) return -1;
        } else if (!rest.startsWith(u"<?")) {
            return -1;  // the root element
        }
    }
    return -1;
}

// Where the declaration's internal subset ends (its ']') or, without one, its closing '>'.
qsizetype DoctypeInsertionPoint(const QString& xml, qsizetype doctype, bool* hasSubset) {
    QChar quote;
    for (qsizetype at = doctype + 9; at < xml.size(); ++at) {
        const QChar c = xml[at];
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            *hasSubset = false;
            return at;
        } else if (c == u'[') {
            // The subset's own declarations come first, so that they win over ours.
            static const QRegularExpression end(QStringLiteral(R"(\]\s*>)"));
            const QRegularExpressionMatch match = end.match(xml, at);
            *hasSubset = true;
            return match.hasMatch() ? match.capturedStart() : -1;
        }
    }
    return -1;
}

}  // namespace

QString DeclareHtmlEntities(const QString& xml) {
    qsizetype start = 0;
    if (xml.startsWith(u"<?xml")) {
        start = xml.indexOf(u"?>");
        if (start < 0) return xml;
        start += 2;
    }
    QString result = xml;
    const qsizetype doctype = DoctypeStart(xml, start);
    if (doctype < 0) {
        result.insert(start, QStringLiteral("<!DOCTYPE book [") + HtmlEntityDeclarations() + QStringLiteral("]>"));
        return result;
    }
    result.replace(doctype, 9, QStringLiteral("<!DOCTYPE"));  // HTML writes it in any case, XML only so
    bool hasSubset = false;
    const qsizetype at = DoctypeInsertionPoint(result, doctype, &hasSubset);
    if (at < 0) return result;
    result.insert(at, hasSubset ? HtmlEntityDeclarations() : QStringLiteral(" [") + HtmlEntityDeclarations() + u']');
    return result;
}

void LimitEntityExpansion(QXmlStreamReader& reader) { reader.setEntityExpansionLimit(4096); }

}  // namespace moratutor::books

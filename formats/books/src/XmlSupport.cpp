#include "XmlSupport.h"

#include "moratutor/TextDecoder.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <algorithm>
#include <array>
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

struct Entity {
    const char16_t* Name;
    char16_t Character;
};

const std::array<Entity, 24> kEntities{{
    {u"nbsp", 0x00A0},  {u"mdash", 0x2014}, {u"ndash", 0x2013}, {u"laquo", 0x00AB}, {u"raquo", 0x00BB},
    {u"hellip", 0x2026}, {u"copy", 0x00A9}, {u"shy", 0x00AD},   {u"bdquo", 0x201E}, {u"ldquo", 0x201C},
    {u"rdquo", 0x201D}, {u"lsquo", 0x2018}, {u"rsquo", 0x2019}, {u"sbquo", 0x201A}, {u"thinsp", 0x2009},
    {u"ensp", 0x2002},  {u"emsp", 0x2003},  {u"middot", 0x00B7}, {u"bull", 0x2022}, {u"deg", 0x00B0},
    {u"times", 0x00D7}, {u"numero", 0x2116}, {u"sect", 0x00A7}, {u"para", 0x00B6},
}};

}  // namespace

QString HtmlEntityText(QStringView name) {
    for (const auto& [entity, character] : kEntities) {
        if (name == QStringView(entity)) return QString(QChar(character));
    }
    return {};
}

QString DeclareHtmlEntities(const QString& xml) {
    qsizetype start = 0;
    if (xml.startsWith(u"<?xml")) {
        start = xml.indexOf(u"?>");
        if (start < 0) return xml;
        start += 2;
    }
    const qsizetype root = xml.indexOf(u'<', start);
    // Comments or processing instructions before the root: only a document type could be there.
    if (root < 0 || xml.indexOf(u"<!DOCTYPE", start, Qt::CaseInsensitive) >= 0) return xml;
    QString declarations = QStringLiteral("<!DOCTYPE book [");
    for (const auto& [entity, character] : kEntities) {
        declarations += QStringLiteral("<!ENTITY %1 \"%2\">").arg(QString::fromUtf16(entity), QChar(character));
    }
    declarations += QStringLiteral("]>");
    QString result = xml;
    result.insert(start, declarations);
    return result;
}

void LimitEntityExpansion(QXmlStreamReader& reader) { reader.setEntityExpansionLimit(4096); }

}  // namespace moratutor::books

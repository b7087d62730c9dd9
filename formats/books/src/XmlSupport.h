// What the FB2 and EPUB readers share about XML.
#pragma once

#include <QString>
#include <QStringView>

#include <initializer_list>
#include <string_view>

class QXmlStreamReader;

namespace moratutor::books {

// True when the element name is one of the names.
bool IsOneOf(QStringView name, std::initializer_list<const char16_t*> names);

// The text of an XML document's bytes: a byte-order mark first, then the encoding its
// declaration names (UTF-8, UTF-16, Windows-1251 and whatever else ICU knows through Qt);
// when it names none, UTF-8 if the bytes are UTF-8, else Windows-1251.
QString DecodeXml(std::string_view bytes);

// The local name of the document's root element, read from its first 64 KiB; empty
// when there is none there.
QString RootElementName(std::string_view bytes);

// True when the document type declares an entity built of other entities or a long one,
// the shapes of expansion bombs. No book needs either.
bool DeclaresHostileEntities(const QXmlStreamReader& reader);

// The character of an HTML named entity (&nbsp;, &mdash; …); empty for a name HTML does
// not know.
QString HtmlEntityText(QStringView name);

// The <!ENTITY> declarations of every HTML named entity.
const QString& HtmlEntityDeclarations();

// The document with HTML's named entities declared: in a document type of its own when it
// has none, else added to the one it has (after its own declarations, which win).
QString DeclareHtmlEntities(const QString& xml);

// A reader that stops any single entity from expanding beyond a few kilobytes.
void LimitEntityExpansion(QXmlStreamReader& reader);

}  // namespace moratutor::books

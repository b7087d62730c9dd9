// Books that are damaged, not what they claim, encrypted or in an undeclared encoding, and
// pages that name files: each is read as far as it can be, or refused with its reason.
#include "BookTestSupport.h"
#include "GuiEnvironment.h"

#include "moratutor/books/DocumentLoader.h"
#include "moratutor/books/HtmlReader.h"
#include "moratutor/books/ZipArchive.h"

#include "moratutor/TextDecoder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <gtest/gtest.h>

#include <string>

using moratutor::books::BookReadStatus;
using moratutor::testing::Epub;
using moratutor::testing::Fb2;
using moratutor::testing::Load;
using moratutor::testing::Loaded;

namespace {

std::string Repeat(const std::string& piece, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += piece;
    return s;
}

// The EPUB with more entries beside its own.
std::string WithEntries(const std::string& epub, const std::vector<moratutor::books::ZipEntry>& extra) {
    const auto archive = moratutor::books::ZipReader::Open(epub);
    std::vector<moratutor::books::ZipEntry> entries;
    for (const std::string& name : archive->EntryNames())
        entries.push_back({name, *archive->Read(name, 1 << 20), name != "mimetype"});
    entries.insert(entries.end(), extra.begin(), extra.end());
    return *moratutor::books::BuildZip(entries);
}

struct DamageCase {
    const char* name;
    std::string bytes;
    QStringList paragraphs;
    bool damaged;
};

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }

class DamageTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamageTest, ReadOnPastTheDamageAndSaysSo) {
    const Loaded loaded = Load(GetParam().bytes);
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    EXPECT_EQ(loaded.Paragraphs, GetParam().paragraphs);
    EXPECT_EQ(loaded.Damaged, GetParam().damaged);
}

const DamageCase kDamageCases[] = {
    {"Fb2StrayAmpersand", Fb2("<section><p>Первый.</p><p>Второй & абзац.</p><p>Третий.</p></section>"),
     {"Первый.", "Второй & абзац.", "Третий."}, true},
    {"Fb2UndeclaredEntityInDescription", Fb2("<section><p>Текст</p></section>", "Книга&unknown;"), {"Текст"}, true},
    {"Fb2UndeclaredEntityInText", Fb2("<section><p>а &unknown; б</p><p>в</p></section>"), {"а б", "в"}, true},
    {"Fb2EndTagOfAnOuterElement", Fb2("<section><p>а <strong>б</p><p>в</p></section>"), {"а *б*", "в"}, true},
    {"Fb2EndTagOfNothingOpen", Fb2("<section><p>а</emphasis> б</p><p>в</p></section>"), {"а б", "в"}, true},
    {"Fb2BrokenTag", Fb2("<section><p>а</p><p class=>б</p><p>в</p></section>"), {"а", "в"}, true},
    {"Fb2ControlCharacter", Fb2("<section><p>а\x01б</p><p>в</p></section>"), {"аб", "в"}, true},
    {"Fb2CutOff", Fb2("<section><p>а</p><p>б</p></section>").substr(0, Fb2("<section><p>а</p><p>б</p>").size() - 14),
     {"а", "б"}, true},
    {"Fb2WellFormed", Fb2("<section><p>а&nbsp;б</p></section>"), {QString::fromUtf16(u"а\u00A0б")}, false},
    {"Fb2HtmlEntitiesFromEndToEnd", Fb2("<section><p>&AElig;&Aacute;&zwnj;&numero;&euro;&yuml;&zeta;</p></section>"),
     {QString::fromUtf16(u"\u00C6\u00C1\u200C\u2116\u20AC\u00FF\u03B6")}, false},
    {"EpubDoctypeAndEntities", Epub({{"c.xhtml", "<p>Первый</p><p>Второй&nbsp;абзац&mdash;тире.</p><p>Третий</p>"}}),
     {"Первый", QString::fromUtf16(u"Второй\u00A0абзац\u2014тире."), "Третий"}, false},
    {"EpubDamagedChapter", Epub({{"a.xhtml", "<p>а & б</p><p>в</p>"}, {"b.xhtml", "<p>г</p>"}}), {"а & б", "в", "г"}, true},
    {"HtmlTagSoupIsNoDamage", "<html><body><p>а<p>б<br>в</body></html>", {QString::fromUtf16(u"а"), QString::fromUtf16(u"б\u2028в")}, false},
};
INSTANTIATE_TEST_SUITE_P(Books, DamageTest, ::testing::ValuesIn(kDamageCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BookRecovery, DoctypeWithItsOwnEntitiesKeepsThem) {
    std::string book = Fb2("<section><p>&own;&nbsp;&mdash;</p></section>");
    book.insert(book.find('\n') + 1, "<!DOCTYPE FictionBook [<!ENTITY nbsp \"N\"><!ENTITY own \"свой\">]>");
    const Loaded loaded = Load(book);
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    EXPECT_EQ(loaded.Paragraphs, QStringList{QString::fromUtf16(u"свойN\u2014")});
    EXPECT_FALSE(loaded.Damaged);
}

TEST(BookRecovery, ResumptionsAreLimited) {
    moratutor::books::BookReadLimits limits;
    limits.MaxResumptions = 3;
    const Loaded loaded = Load(Fb2("<section>" + Repeat("<p>а & б</p>", 10) + "</section>"), limits);
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    EXPECT_EQ(loaded.Paragraphs.size(), 3);
    EXPECT_TRUE(loaded.Damaged);
}

struct EncodingCase {
    const char* name;
    std::string bytes;
};

void PrintTo(const EncodingCase& c, std::ostream* os) { *os << c.name; }

class XmlEncodingTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(XmlEncodingTest, ReadsTheText) {
    const Loaded loaded = Load(GetParam().bytes);
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    EXPECT_EQ(loaded.Paragraphs, QStringList{"Ёжик в тумане"});
    EXPECT_FALSE(loaded.Damaged);
}

std::string Windows1251(const std::string& utf8) {
    return moratutor::codecs::EncodeWindows1251(QString::fromStdString(utf8).toStdU16String());
}

std::string Declared(const std::string& book, const std::string& declaration) {
    return declaration + book.substr(book.find('\n'));
}

const std::string kBook = Fb2("<section><p>Ёжик в тумане</p></section>");
const EncodingCase kEncodingCases[] = {
    {"Utf8Undeclared", Declared(kBook, "<?xml version=\"1.0\"?>")},
    {"Windows1251Undeclared", Windows1251(Declared(kBook, "<?xml version=\"1.0\"?>"))},
    {"Windows1251WithoutDeclaration", Windows1251(kBook.substr(kBook.find('\n') + 1))},
    {"Windows1251Declared", Windows1251(Declared(kBook, "<?xml version=\"1.0\" encoding=\"windows-1251\"?>"))},
    {"Utf8Declared", kBook},
};
INSTANTIATE_TEST_SUITE_P(Fb2, XmlEncodingTest, ::testing::ValuesIn(kEncodingCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
    const char* name;
    std::string bytes;
    BookReadStatus status;
    const char* message;  // a part of what the user is told
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class RefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, RefusedWithItsReason) {
    const Loaded loaded = Load(GetParam().bytes);
    EXPECT_EQ(loaded.Status, GetParam().status);
    EXPECT_TRUE(loaded.Message.contains(QString::fromUtf8(GetParam().message))) << loaded.Message.toStdString();
}

const std::string kEncryption =
    "<encryption xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\" "
    "xmlns:enc=\"http://www.w3.org/2001/04/xmlenc#\"><enc:EncryptedData><enc:EncryptionMethod Algorithm=\"";
const std::string kEncrypted = "\"/><enc:CipherData><enc:CipherReference URI=\"";
const std::string kEncryptionEnd = "\"/></enc:CipherData></enc:EncryptedData></encryption>";

const RefusalCase kRefusalCases[] = {
    {"Png", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), BookReadStatus::Binary, "изображение PNG"},
    {"Jpeg", "\xFF\xD8\xFF\xE0 JFIF", BookReadStatus::Binary, "изображение JPEG"},
    {"Gif", "GIF89a\x01", BookReadStatus::Binary, "изображение GIF"},
    {"Pdf", "%PDF-1.7\n%\xE2\xE3", BookReadStatus::Binary, "документ PDF"},
    {"ZipOfNoBook", *moratutor::books::BuildZip({{"a.txt", "текст", true}}), BookReadStatus::Binary, "архив ZIP"},
    {"NulBytes", std::string("текст\0текст", 21), BookReadStatus::Binary, "двоичные данные"},
    {"EncryptedChapters",
     WithEntries(Epub({{"c.xhtml", "<p>а</p>"}}),
                 {{"META-INF/encryption.xml",
                   kEncryption + "http://www.w3.org/2001/04/xmlenc#aes128-cbc" + kEncrypted + "OEBPS/c.xhtml" + kEncryptionEnd,
                   true}}),
     BookReadStatus::Encrypted, "зашифрована"},
    {"AdobeRights", WithEntries(Epub({{"c.xhtml", "<p>а</p>"}}), {{"META-INF/rights.xml", "<rights/>", true}}),
     BookReadStatus::Encrypted, "зашифрована"},
};
INSTANTIATE_TEST_SUITE_P(Books, RefusalTest, ::testing::ValuesIn(kRefusalCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BookRecovery, ObfuscatedFontsAreNoDrm) {
    const std::string epub = WithEntries(
        Epub({{"c.xhtml", "<p>а</p>"}}),
        {{"META-INF/encryption.xml",
          kEncryption + "http://www.idpf.org/2008/embedding" + kEncrypted + "OEBPS/font.otf" + kEncryptionEnd, true}});
    EXPECT_EQ(Load(epub).Status, BookReadStatus::Ok);
}

TEST(BookRecovery, TextInUtf16WithByteOrderMarkIsNoBinary) {
    const std::u16string text = u"\uFEFFтекст";
    const Loaded loaded = Load(std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    EXPECT_EQ(loaded.Paragraphs, QStringList{"текст"});
}

TEST(BookRecovery, StatedSizesRefuseBeforeUnpacking) {
    moratutor::books::BookReadLimits limits;
    limits.MaxUnpackedBytes = 64 * 1024;
    const std::string chapter = "<p>" + Repeat("а ", 20 * 1024) + "</p>";
    EXPECT_EQ(Load(Epub({{"a.xhtml", chapter}}), limits).Status, BookReadStatus::Ok);
    EXPECT_EQ(Load(Epub({{"a.xhtml", chapter}, {"b.xhtml", chapter}}), limits).Status, BookReadStatus::TooLarge);
}

// A paragraph costs 800 bytes and a formatted run 160 besides their text: tiny ones are
// refused once they pass the floor and 16 times the text.
TEST(BookRecovery, TinyParagraphsAndRunsPastTheirCostAreRefused) {
    moratutor::books::BookReadLimits limits;
    limits.CostFloor = (800 + 160) * 1000;  // a thousand one-letter paragraphs of one run each
    EXPECT_EQ(Load(Fb2("<section>" + Repeat("<p>а</p>", 1000) + "</section>"), limits).Status, BookReadStatus::Ok);
    EXPECT_EQ(Load(Fb2("<section>" + Repeat("<p>а</p>", 1001) + "</section>"), limits).Status, BookReadStatus::TooLarge);
    // Filled directly, an empty document is emptied again on refusal.
    QTextDocument document;
    moratutor::books::LoadDocument(Fb2("<section>" + Repeat("<p>а</p>", 1001) + "</section>"), document, nullptr, limits);
    EXPECT_TRUE(document.isEmpty());
    // Paragraphs of 40 letters: 960 bytes is 12 times their 80 bytes of text.
    EXPECT_EQ(Load(Fb2("<section>" + Repeat("<p>" + Repeat("а", 40) + "</p>", 5000) + "</section>"), limits).Status,
              BookReadStatus::Ok);
    // One paragraph of 2 × 2997 runs: 800 + 160 × 5994 = 959,840 bytes; one pair more passes 960,000.
    EXPECT_EQ(Load(Fb2("<section><p>" + Repeat("<strong>а</strong>б", 2997) + "</p></section>"), limits).Status,
              BookReadStatus::Ok);
    EXPECT_EQ(Load(Fb2("<section><p>" + Repeat("<strong>а</strong>б", 2998) + "</p></section>"), limits).Status,
              BookReadStatus::TooLarge);
}

// Elements nested exactly as deep as allowed are read; one more level is refused.
struct DepthCase {
    const char* name;
    std::string atLimit;
    std::string pastLimit;
};

void PrintTo(const DepthCase& c, std::ostream* os) { *os << c.name; }

class DepthTest : public ::testing::TestWithParam<DepthCase> {};

TEST_P(DepthTest, FiveHundredLevelsAndNoMore) {
    EXPECT_EQ(Load(GetParam().atLimit).Status, BookReadStatus::Ok);
    EXPECT_EQ(Load(GetParam().pastLimit).Status, BookReadStatus::TooDeep);
}

// FictionBook, body and the paragraph around the sections; html and body around the divs.
std::string NestedFb2(int sections) {
    return Fb2(Repeat("<section>", sections) + "<p>а</p>" + Repeat("</section>", sections));
}
std::string NestedEpub(int divs) { return Epub({{"c.xhtml", Repeat("<div>", divs) + "а" + Repeat("</div>", divs)}}); }
std::string NestedHtml(int divs) {
    return "<html><body>" + Repeat("<div>", divs) + "а" + Repeat("</div>", divs) + "</body></html>";
}

const DepthCase kDepthCases[] = {
    {"Fb2", NestedFb2(497), NestedFb2(498)},
    {"Epub", NestedEpub(498), NestedEpub(499)},
    {"Html", NestedHtml(498), NestedHtml(499)},
};
INSTANTIATE_TEST_SUITE_P(Books, DepthTest, ::testing::ValuesIn(kDepthCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A page names files to import, link and show; none of them is read. /dev/zero would never
// end, the style sheet would make the text bold.
class ResourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        QFile css(folder_.filePath(QStringLiteral("bold.css")));
        ASSERT_TRUE(css.open(QIODevice::WriteOnly));
        css.write("p, body { font-weight: bold; font-style: italic }");
    }
    QString Page() const {
        const QString css = QUrl::fromLocalFile(folder_.filePath(QStringLiteral("bold.css"))).toString();
        return QStringLiteral("<html><head><style>@import url(/dev/zero); @import url(%1);</style>"
                              "<link rel=\"stylesheet\" href=\"%1\"></head><body><p>а<p>б<img src=\"/etc/passwd\">"
                              "<img src=\"%1\"></body></html>")
            .arg(css);
    }
    QTemporaryDir folder_;
};

TEST_F(ResourceTest, LoadedPageReadsNothingItNames) {
    const Loaded loaded = Load(Page().toStdString());
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    EXPECT_EQ(loaded.Paragraphs, (QStringList{"а", "б"}));
}

TEST_F(ResourceTest, PastedPageReadsNothingItNames) {
    // A pane's paste: the fragment is made with the pane's document as its resource provider.
    moratutor::books::SealedDocument pane;
    QTextCursor(&pane).insertFragment(QTextDocumentFragment::fromHtml(Page(), &pane));
    EXPECT_TRUE(pane.toPlainText().startsWith(QStringLiteral("а\nб")));
    EXPECT_FALSE(moratutor::testing::Marked(pane).join(u'|').contains(u'*'));
    const QUrl css = QUrl::fromLocalFile(folder_.filePath(QStringLiteral("bold.css")));
    EXPECT_EQ(pane.resource(QTextDocument::StyleSheetResource, css).userType(), QMetaType::QImage);
    EXPECT_EQ(pane.resource(QTextDocument::ImageResource, QUrl::fromLocalFile(QStringLiteral("/etc/passwd"))).userType(),
              QMetaType::QImage);
}

}  // namespace

// Damaged and hostile books: each is refused or read as far as it makes sense, quickly
// and within bounded memory.
#include "BookTestSupport.h"
#include "GuiEnvironment.h"

#include "moratutor/books/DocumentLoader.h"
#include "moratutor/books/ZipArchive.h"

#include <QDir>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <string>

using moratutor::books::BookReadLimits;
using moratutor::books::BookReadStatus;
using moratutor::testing::Epub;
using moratutor::testing::Fb2;
using moratutor::testing::Load;
using moratutor::testing::Xhtml;

namespace {

std::string Repeat(const std::string& piece, int times) {
    std::string s;
    s.reserve(piece.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i) s += piece;
    return s;
}

const std::string kLaughs =
    "<!DOCTYPE FictionBook [<!ENTITY a \"хаха\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
    "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
    "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
    "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\"><!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">"
    "<!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">]>";

std::string WithDoctype(const std::string& xml, const std::string& doctype) {
    std::string s = xml;
    s.insert(s.find('\n') + 1, doctype);
    return s;
}

struct HostileCase {
    const char* name;
    std::string bytes;
    BookReadStatus status;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class HostileTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileTest, RefusedAndDocumentUnchanged) {
    QTextDocument document;
    document.setPlainText(QStringLiteral("прежний текст"));
    BookReadLimits limits;
    limits.MaxUnpackedBytes = 4 << 20;
    EXPECT_EQ(moratutor::books::LoadDocument(GetParam().bytes, document, nullptr, limits), GetParam().status);
    EXPECT_EQ(document.toPlainText(), "прежний текст");
}

const HostileCase kHostileCases[] = {
    {"Fb2BillionLaughs", WithDoctype(Fb2("<section><p>&i;</p></section>"), kLaughs), BookReadStatus::TooLarge},
    {"Fb2DeepNesting", Fb2(Repeat("<section>", 100000) + "<p>а</p>" + Repeat("</section>", 100000)),
     BookReadStatus::TooDeep},
    {"EpubDeepNesting", Epub({{"c.xhtml", Repeat("<div>", 100000) + "а" + Repeat("</div>", 100000)}}),
     BookReadStatus::TooDeep},
    {"HtmlDeepNesting", "<html><body>" + Repeat("<div><span>", 100000) + "а</body></html>", BookReadStatus::TooDeep},
    {"EpubZipBomb", Epub({{"c.xhtml", "<p>" + Repeat(std::string(1024, 'a') + " ", 8 * 1024) + "</p>"}}),
     BookReadStatus::TooLarge},
    {"ZippedFb2Bomb",
     *moratutor::books::BuildZip(
         {{"b.fb2", Fb2("<section><p>" + Repeat(std::string(1024, 'a') + " ", 8 * 1024) + "</p></section>"), true}}),
     BookReadStatus::TooLarge},
    {"TruncatedEpubArchive", Epub({{"c.xhtml", "<p>а</p>"}}).substr(0, 300), BookReadStatus::Damaged},
    {"EpubWithoutPackage", *moratutor::books::BuildZip({{"mimetype", "application/epub+zip", false}}),
     BookReadStatus::Damaged},
    {"ZipOfNoBook", *moratutor::books::BuildZip({{"a.txt", "текст", true}}), BookReadStatus::Binary},
};
INSTANTIATE_TEST_SUITE_P(Books, HostileTest, ::testing::ValuesIn(kHostileCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostileBooks, BillionLaughsInAnEpubChapter) {
    std::string chapter = Xhtml("<p>&i;</p>");
    chapter.replace(chapter.find("<!DOCTYPE html>"), 15, "<!DOCTYPE html " + kLaughs.substr(21));
    const std::string epub = *moratutor::books::BuildZip(
        {{"mimetype", "application/epub+zip", false},
         {"META-INF/container.xml",
          "<container xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles><rootfile "
          "full-path=\"c.opf\"/></rootfiles></container>",
          true},
         {"c.opf",
          "<package xmlns=\"http://www.idpf.org/2007/opf\"><manifest><item id=\"a\" href=\"a.xhtml\" "
          "media-type=\"application/xhtml+xml\"/></manifest><spine><itemref idref=\"a\"/></spine></package>",
          true},
         {"a.xhtml", chapter, true}});
    EXPECT_EQ(Load(epub).Status, BookReadStatus::TooLarge);
}

TEST(HostileBooks, TruncatedFb2KeepsWhatCameBefore) {
    const std::string book = Fb2("<section><p>Первый</p><p>Второй абзац</p><p>Третий</p></section>");
    const auto loaded = Load(book.substr(0, book.find("Третий") + 4));
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    ASSERT_GE(loaded.Paragraphs.size(), 2);
    EXPECT_EQ(loaded.Paragraphs.mid(0, 2), (QStringList{"Первый", "Второй абзац"}));
}

TEST(HostileBooks, MalformedChapterDoesNotLoseTheNext) {
    std::string broken = "<p>Начало</p><p>обрыв <b>жирным";
    const auto loaded = Load(Epub({{"a.xhtml", "<p>До</p>"}, {"b.xhtml", broken + "</p><p>"}, {"c.xhtml", "<p>После</p>"}}));
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    EXPECT_EQ(loaded.Paragraphs, (QStringList{"До", "Начало", "обрыв *жирным*", "После"}));
}

TEST(HostileBooks, LargerThanTheLimitIsRefusedUnread) {
    BookReadLimits limits;
    limits.MaxBytes = 1000;
    EXPECT_EQ(Load(Fb2("<section><p>" + std::string(2000, 'a') + "</p></section>"), limits).Status,
              BookReadStatus::TooLarge);
    EXPECT_EQ(Load(std::string(2000, 'a'), limits).Status, BookReadStatus::TooLarge);
}

TEST(HostileBooks, TooManyParagraphs) {
    BookReadLimits limits;
    limits.MaxParagraphs = 1000;
    EXPECT_EQ(Load(Fb2("<section>" + Repeat("<p>а</p>", 1001) + "</section>"), limits).Status, BookReadStatus::TooLarge);
    EXPECT_EQ(Load(Fb2("<section>" + Repeat("<p>а</p>", 1000) + "</section>"), limits).Status, BookReadStatus::Ok);
}

TEST(HostileBooks, LongEntitiesAreRefused) {
    // Referenced ten thousand times, one long entity grows the text quadratically.
    const std::string doctype = "<!DOCTYPE FictionBook [<!ENTITY big \"" + std::string(10000, 'x') + "\">]>";
    EXPECT_EQ(Load(WithDoctype(Fb2("<section><p>" + Repeat("&big;", 10000) + "</p></section>"), doctype)).Status,
              BookReadStatus::TooLarge);
}

// Inputs that once went wrong, kept as files: each must load or be refused, never crash.
TEST(HostileBooks, Regressions) {
    const QDir folder(QStringLiteral(MORATUTOR_BOOK_REGRESSIONS));
    for (const QString& name : folder.entryList(QDir::Files)) {
        QTextDocument document;
        moratutor::books::LoadDocument(moratutor::testing::ReadFileBytes(folder.filePath(name)), document);
        SUCCEED() << name.toStdString();
    }
}

}  // namespace

// What the FB2, EPUB and HTML readers take from a book, and how its type is found.
#include "BookTestSupport.h"
#include "GuiEnvironment.h"

#include "moratutor/books/DocumentLoader.h"
#include "moratutor/books/ZipArchive.h"

#include "moratutor/TextDecoder.h"

#include <QRegularExpression>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <string>

using moratutor::books::BookReadStatus;
using moratutor::books::DocumentType;
using moratutor::testing::Epub;
using moratutor::testing::Fb2;
using moratutor::testing::Load;
using moratutor::testing::Loaded;

namespace {

struct ReadCase {
    const char* name;
    std::string bytes;
    QStringList paragraphs;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class BookTextTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(BookTextTest, ReadsParagraphs) {
    const Loaded loaded = Load(GetParam().bytes);
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    EXPECT_EQ(loaded.Paragraphs, GetParam().paragraphs);
}

const ReadCase kFb2Cases[] = {
    {"Paragraphs", Fb2("<section><p>Раз</p><p>Два</p></section>"), {"Раз", "Два"}},
    {"TitlesAreHeadings",
     Fb2("<title><p>Книга</p></title><section><title><p>Глава</p></title><section><title><p>Часть</p></title><p>Текст</p>"
         "</section></section>"),
     {"#1 Книга", "#1 Глава", "#2 Часть", "Текст"}},
    {"Emphasis", Fb2("<section><p>a <strong>b</strong> <emphasis>c</emphasis></p></section>"), {"a *b* _c_"}},
    {"WhitespaceCollapses", Fb2("<section><p>\n  один\n\t два  </p></section>"), {"один два"}},
    {"NotesBodyAfterTheText",
     Fb2("<section><p>Текст<a l:href=\"#n1\" type=\"note\">[1]</a></p></section></body><body name=\"notes\">"
         "<title><p>Сноски</p></title><section id=\"n1\"><p>Примечание</p></section>"),
     {"Текст[1]", "#1 Примечания", "1 Примечание"}},
    {"NoteTitleIsItsLabel",
     Fb2("<section><p>а<a l:href=\"#x\" type=\"note\">*</a></p></section></body><body name=\"notes\">"
         "<section id=\"x\"><title><p>*</p></title><p>один</p><p>два</p></section>"),
     {"а*", "#1 Примечания", "* один", "два"}},
    {"LinksWithinTheBookAreNoNotes",
     Fb2("<section><p><a l:href=\"#c2\">Вторая глава книги</a> и<a l:href=\"#n\">2</a></p></section></body>"
         "<body name=\"notes\"><section id=\"n\"><p>эн</p></section>"),
     {"Вторая глава книги и2", "#1 Примечания", "2 эн"}},
    {"GroupedNotes",
     Fb2("<section><p>а<a l:href=\"#b\" type=\"note\">1</a></p></section></body><body name=\"notes\"><section><title>"
         "<p>Часть 1</p></title><section id=\"b\"><p>бэ</p></section></section>"),
     {"а1", "#1 Примечания", "1 бэ", "Часть 1"}},
    {"ImagesAndBinariesLeftOut",
     Fb2("<section><image l:href=\"#i\"/><p>Текст</p></section></body><binary id=\"i\" content-type=\"image/png\">"
         "iVBORw0KGgo=</binary><body name=\"comments\"><section><p>x</p></section>"),
     {"Текст", "#1 Примечания", "1 x"}},  // a comment without an id is a note all the same
    {"PoemsEpigraphsCitations",
     Fb2("<section><epigraph><p>Эпиграф</p><text-author>Автор</text-author></epigraph><poem><stanza><v>Строка 1</v>"
         "<v>Строка 2</v></stanza></poem><cite><p>Цитата</p></cite><empty-line/><subtitle>Подзаголовок</subtitle></section>"),
     {"Эпиграф", "Автор", "Строка 1", "Строка 2", "Цитата", "#2 Подзаголовок"}},
    {"HtmlEntitiesUndeclared", Fb2("<section><p>а&nbsp;б &mdash; в</p></section>"), {QString::fromUtf16(u"а\u00A0б \u2014 в")}},
    {"Utf8ByteOrderMark", "\xEF\xBB\xBF" + Fb2("<section><p>Ёж</p></section>"), {"Ёж"}},
    {"EmptyParagraphsDropped", Fb2("<section><p> </p><p>а</p><p/></section>"), {"а"}},
};
INSTANTIATE_TEST_SUITE_P(Fb2, BookTextTest, ::testing::ValuesIn(kFb2Cases),
                         [](const auto& info) { return std::string(info.param.name); });

const ReadCase kEpubCases[] = {
    {"SpineOrder", Epub({{"b.xhtml", "<p>Первая</p>"}, {"a.xhtml", "<p>Вторая</p>"}}), {"Первая", "Вторая"}},
    {"HeadingsAndEmphasis",
     Epub({{"c.xhtml", "<h1>Глава</h1><h3>Часть</h3><p>a <b>b</b> <strong>c</strong> <em>d</em> <i>e</i></p>"}}),
     {"#1 Глава", "#3 Часть", "a *b* *c* _d_ _e_"}},
    {"NotesAfterTheTextScriptsImagesLeftOut",
     Epub({{"c.xhtml",
            "<p>Текст<a epub:type=\"noteref\" href=\"#n1\">1</a></p><script>alert('x')</script><img src=\"a.png\" alt=\"картинка\"/>"
            "<aside epub:type=\"footnote\" id=\"n1\"><p>Примечание</p></aside><svg xmlns=\"http://www.w3.org/2000/svg\">"
            "<text>svg</text></svg>"}}),
     {"Текст1", "#1 Примечания", "1 Примечание"}},
    {"NotesInTheOrderOfTheirReferences",
     Epub({{"c.xhtml",
            "<aside epub:type=\"footnote\" id=\"b\"><p>Бэ</p></aside><aside epub:type=\"footnote\" id=\"z\"><p>Зет</p></aside>"
            "<aside epub:type=\"footnote\" id=\"a\"><p>А</p></aside>"
            "<p>т<a epub:type=\"noteref\" href=\"#a\">x</a>т<a epub:type=\"noteref\" href=\"#b\">[y]</a></p>"}}),
     {"тxт[y]", "#1 Примечания", "x А", "y Бэ", "3 Зет"}},
    {"PandocFootnotesWithBacklinks",
     Epub({{"c.xhtml",
            "<p>а<a href=\"#fn1\" class=\"footnote-ref\" id=\"fnref1\" epub:type=\"noteref\">1</a></p>"
            "<section class=\"footnotes\" epub:type=\"footnotes\"><hr/><ol><li id=\"fn1\" epub:type=\"footnote\">"
            "<p>Сноска<a href=\"#fnref1\" class=\"footnote-back\" role=\"doc-backlink\">↩︎</a></p></li></ol></section>"}}),
     {"а1", "#1 Примечания", "1 Сноска"}},
    {"NestedBlocksAndLineBreaks", Epub({{"c.xhtml", "<div>до<p>внутри<br/>строка</p>после</div><ul><li>пункт</li></ul>"}}),
     {"до", QString::fromUtf16(u"внутри\u2028строка"), "после", "пункт"}},
    {"NonLinearItemsLeftOut",
     Epub({{"c.xhtml", "<p>Текст</p>"}}, "Книга",
          "<itemref idref=\"notes\" linear=\"no\"/>"),
     {"Текст"}},
};
INSTANTIATE_TEST_SUITE_P(Epub, BookTextTest, ::testing::ValuesIn(kEpubCases),
                         [](const auto& info) { return std::string(info.param.name); });

const ReadCase kHtmlCases[] = {
    {"HeadScriptStyleLeftOut",
     "<!DOCTYPE html><html><head><title>Страница</title><style>p{color:red}</style><script>var x = 'скрипт';</script>"
     "</head><body><h2>Заголовок</h2><p>Текст <b>жирный</b> <i>курсив</i></p><img src=\"x.png\" alt=\"x\">"
     "<script>document.write('нет')</script></body></html>",
     {"#2 Заголовок", "Текст *жирный* _курсив_"}},
    {"UnclosedTags", "<html><body><p>один<p>два<br>три</body>", {"один", QString::fromUtf16(u"два\u2028три")}},
    {"MetaCharsetWindows1251",
     "<html><head><meta charset=\"windows-1251\"></head><body><p>\xcf\xf0\xe8\xe2\xe5\xf2</p></body></html>", {"Привет"}},
};
INSTANTIATE_TEST_SUITE_P(Html, BookTextTest, ::testing::ValuesIn(kHtmlCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BookReaders, Fb2InWindows1251AsDeclared) {
    const std::u16string text = u"Ёжик в тумане";
    const std::string title = moratutor::codecs::EncodeWindows1251(text);
    std::string bytes = Fb2("<section><p>" + title + "</p></section>", title);
    bytes.replace(bytes.find("UTF-8"), 5, "windows-1251");
    const Loaded loaded = Load(bytes);
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    EXPECT_EQ(loaded.Paragraphs, QStringList{QString::fromStdU16String(text)});
    EXPECT_EQ(loaded.Title, QString::fromStdU16String(text));
}

TEST(BookReaders, TitlesOfEachFormat) {
    EXPECT_EQ(Load(Fb2("<section><p>а</p></section>", " Война  и мир ")).Title, "Война и мир");
    EXPECT_EQ(Load(Epub({{"c.xhtml", "<p>а</p>"}}, "Анна Каренина")).Title, "Анна Каренина");
    EXPECT_EQ(Load("<html><head><title>Страница</title></head><body>а</body></html>").Title, "Страница");
    EXPECT_EQ(Load("просто текст").Title, "");
}

TEST(BookReaders, TitleBecomesDocumentTitle) {
    QTextDocument document;
    ASSERT_EQ(moratutor::books::LoadDocument(Fb2("<section><p>а</p></section>", "Заглавие"), document),
              BookReadStatus::Ok);
    EXPECT_EQ(document.metaInformation(QTextDocument::DocumentTitle), "Заглавие");
}

std::string ZipOf(const std::string& name, const std::string& content) {
    return *moratutor::books::BuildZip({{name, content, true}});
}

struct DetectCase {
    const char* name;
    std::string bytes;
    DocumentType type;
};

void PrintTo(const DetectCase& c, std::ostream* os) { *os << c.name; }

class DetectTest : public ::testing::TestWithParam<DetectCase> {};

TEST_P(DetectTest, ContentDecides) {
    EXPECT_EQ(moratutor::books::DetectDocumentType(GetParam().bytes), GetParam().type);
    EXPECT_EQ(Load(GetParam().bytes).Type, GetParam().type);
}

const DetectCase kDetectCases[] = {
    {"Rtf", "{\\rtf1 a}", DocumentType::Rtf},
    {"Fb2", Fb2("<section><p>а</p></section>"), DocumentType::Fb2},
    {"Epub", Epub({{"c.xhtml", "<p>а</p>"}}), DocumentType::Epub},
    {"ZippedFb2", ZipOf("book.fb2", Fb2("<section><p>а</p></section>")), DocumentType::ZippedFb2},
    {"ZippedFb2WhateverItsName", ZipOf("readme.txt", Fb2("<section><p>а</p></section>")), DocumentType::ZippedFb2},
    {"ZipOfSomethingElse", ZipOf("a.txt", "текст"), DocumentType::UnknownZip},
    {"Html", "<!DOCTYPE html><p>а", DocumentType::Html},
    {"HtmlWithoutDoctype", "  <html><body>а</body></html>", DocumentType::Html},
    {"OtherXmlIsText", "<?xml version=\"1.0\"?><note>а</note>", DocumentType::PlainText},
    {"TextMentioningHtml", "Тег <html> открывает страницу", DocumentType::PlainText},
    {"TextStartingWithAngle", "<3 люблю", DocumentType::PlainText},
    {"PlainText", "Привет", DocumentType::PlainText},
};
INSTANTIATE_TEST_SUITE_P(Books, DetectTest, ::testing::ValuesIn(kDetectCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BookReaders, PlainTextThroughTheDecoder) {
    const Loaded loaded = Load("\xcf\xf0\xe8\xe2\xe5\xf2\r\n\xec\xe8\xf0");  // Windows-1251
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    EXPECT_EQ(loaded.Paragraphs, (QStringList{"Привет", "мир"}));
}

TEST(BookReaders, AppendsAfterWhatTheDocumentHolds) {
    QTextDocument document;
    document.setPlainText(QStringLiteral("было"));
    ASSERT_EQ(moratutor::books::LoadDocument(Fb2("<section><p>стало</p></section>"), document), BookReadStatus::Ok);
    EXPECT_EQ(document.toPlainText(), "было\nстало");
}

// Books made by pandoc and LibreOffice from the same text (interop/book.md).
struct SampleCase {
    const char* file;
    DocumentType type;
    bool headings = true;  // headings as elements, not as styled paragraphs
    bool emphasis = true;  // emphasis as elements, not only as style-sheet classes
    bool damaged = false;  // read on past damage, and said so
};

void PrintTo(const SampleCase& c, std::ostream* os) { *os << c.file; }

class InteropTest : public ::testing::TestWithParam<SampleCase> {};

TEST_P(InteropTest, ReadsTheBook) {
    const std::string bytes =
        moratutor::testing::ReadFileBytes(QStringLiteral(MORATUTOR_BOOK_SAMPLES "/") + QString::fromLatin1(GetParam().file));
    ASSERT_FALSE(bytes.empty());
    const Loaded loaded = Load(bytes);
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    EXPECT_EQ(loaded.Type, GetParam().type);
    EXPECT_EQ(loaded.Damaged, GetParam().damaged);
    EXPECT_EQ(loaded.Title, "Ёжик в тумане");
    const QString text = loaded.Paragraphs.join(u'\n');
    EXPECT_TRUE(text.contains("Тридцать комаров выбежали на поляну и заиграли на своих писклявых скрипках."));
    if (GetParam().headings) {
        EXPECT_EQ(loaded.Paragraphs.filter(QRegularExpression(QStringLiteral("^#\\d Глава (первая|вторая)$"))).size(), 2)
            << text.toStdString();
    }
    if (GetParam().emphasis) {
        EXPECT_TRUE(text.contains("_улыбаясь_")) << text.toStdString();
        EXPECT_TRUE(text.contains("*«Ммм-м-у!»*")) << text.toStdString();
    }
    EXPECT_TRUE(text.contains("затопленную туманом.")) << text.toStdString();
    // The note comes after the text, under the notes' heading.
    EXPECT_LT(text.indexOf("затопленную туманом."), text.indexOf("#1 Примечания")) << text.toStdString();
    EXPECT_LT(text.indexOf("#1 Примечания"), text.indexOf("Примечание, которого в тексте быть не должно."));
    EXPECT_LT(text.indexOf("Глава первая"), text.indexOf("Глава вторая"));
}

const SampleCase kSamples[] = {
    {"pandoc-epub3.epub", DocumentType::Epub},        {"pandoc-epub2.epub", DocumentType::Epub},
    {"libreoffice.epub", DocumentType::Epub, false, false},         {"pandoc.fb2", DocumentType::Fb2},
    {"pandoc-windows-1251.fb2", DocumentType::Fb2},   {"pandoc.fb2.zip", DocumentType::ZippedFb2},
    {"pandoc.html", DocumentType::Html},              {"libreoffice.xhtml", DocumentType::Html, true, false},
    // Named entities under <!DOCTYPE html>; a Windows-1251 book that does not say so; a
    // stray '&' in the text and an undeclared entity in the description.
    {"doctype-entities.epub", DocumentType::Epub},    {"windows-1251-undeclared.fb2", DocumentType::Fb2},
    {"damaged.fb2", DocumentType::Fb2, true, true, true},
};
INSTANTIATE_TEST_SUITE_P(Samples, InteropTest, ::testing::ValuesIn(kSamples));

}  // namespace

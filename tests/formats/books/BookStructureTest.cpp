// A book stays a book from load to save: its details, chapters and notes read by the
// readers, written by the writers, read back by our readers and, when installed, by
// pandoc and epubcheck.
#include "BookTestSupport.h"
#include "GuiEnvironment.h"

#include "moratutor/books/BookStructure.h"
#include "moratutor/books/BookWriters.h"
#include "moratutor/books/DocumentLoader.h"
#include "moratutor/books/ZipArchive.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

using moratutor::books::BookInfo;
using moratutor::books::BookReadStatus;
using moratutor::testing::Marked;

namespace {

const std::string kPng = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==").toStdString();

// A FictionBook with everything a book can bring: two authors named both ways, an
// annotation, a cover, nested chapters, emphasis and notes.
std::string RichFb2() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" xmlns:l=\"http://www.w3.org/1999/xlink\">"
           "<description><title-info><genre>prose</genre>"
           "<author><first-name>Анна</first-name><middle-name>Сергеевна</middle-name><last-name>Лесная</last-name></author>"
           "<author><nickname>Филин</nickname></author><book-title>Лесные сказки</book-title>"
           "<annotation><p>Сказки о ёжике.</p><p>И о медвежонке.</p></annotation>"
           "<coverpage><image l:href=\"#c.png\"/></coverpage><lang>ru</lang></title-info></description>"
           "<body><section><title><p>Глава первая</p></title><p>Ёжик <emphasis>шёл</emphasis> по <strong>лесу</strong>."
           "<a l:href=\"#n1\" type=\"note\">1</a></p><section><title><p>Часть</p></title><p>Туман.</p></section></section>"
           "<section><title><p>Глава вторая</p></title><p>Медвежонок ждал.<a l:href=\"#n2\" type=\"note\">2</a></p></section>"
           "</body><body name=\"notes\"><title><p>Примечания</p></title>"
           "<section id=\"n1\"><title><p>1</p></title><p>Первое <emphasis>примечание</emphasis>.</p></section>"
           "<section id=\"n2\"><title><p>2</p></title><p>Второе.</p><p>Его второй абзац.</p></section></body>"
           "<binary id=\"c.png\" content-type=\"image/png\">" +
           QByteArray::fromStdString(kPng).toBase64().toStdString() + "</binary></FictionBook>";
}

const QStringList kRichParagraphs{"#1 Глава первая", "Ёжик _шёл_ по *лесу*.1", "#2 Часть",       "Туман.",
                                  "#1 Глава вторая", "Медвежонок ждал.2",     "#1 Примечания", "1 Первое _примечание_.",
                                  "2 Второе.",       "Его второй абзац."};

struct Read {
    BookReadStatus Status;
    std::unique_ptr<QTextDocument> Document;
    BookInfo Book;
};

Read ReadBook(const std::string& bytes) {
    Read read{BookReadStatus::Ok, std::make_unique<QTextDocument>(), {}};
    moratutor::books::LoadedDocument loaded;
    read.Status = moratutor::books::LoadDocument(bytes, *read.Document, &loaded);
    read.Book = loaded.Book;
    return read;
}

// "ref>id" for every reference, "note id" for every note paragraph, with ids numbered
// by first appearance so that the writers' own ids compare.
QStringList NoteLinks(const QTextDocument& document) {
    QStringList links;
    QHash<QString, int> numbers;
    const auto number = [&numbers](const QString& id) { return numbers.contains(id) ? numbers[id] : numbers[id] = int(numbers.size()) + 1; };
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isAnchor()) links << QStringLiteral("ref>%1").arg(number(moratutor::books::NoteIdOfHref(format.anchorHref())));
        }
        const QString id = block.blockFormat().stringProperty(moratutor::books::kNoteId);
        if (!id.isEmpty()) links << QStringLiteral("note %1").arg(number(id));
    }
    return links;
}

const QStringList kRichLinks{"ref>1", "ref>2", "note 1", "note 2", "note 2"};

TEST(BookDetails, Fb2GivesAuthorsLanguageAnnotationAndCover) {
    const Read read = ReadBook(RichFb2());
    ASSERT_EQ(read.Status, BookReadStatus::Ok);
    EXPECT_EQ(read.Book.Title, "Лесные сказки");
    ASSERT_EQ(read.Book.Authors.size(), 2u);
    EXPECT_EQ(read.Book.Authors[0].DisplayName(), "Анна Сергеевна Лесная");
    EXPECT_EQ(read.Book.Authors[1].Nickname, "Филин");
    EXPECT_EQ(read.Book.Language, "ru");
    EXPECT_EQ(read.Book.Annotation, "Сказки о ёжике.\nИ о медвежонке.");
    EXPECT_EQ(read.Book.Cover.toStdString(), kPng);
    EXPECT_EQ(read.Book.CoverMediaType, "image/png");
    EXPECT_EQ(Marked(*read.Document), kRichParagraphs);
    EXPECT_EQ(NoteLinks(*read.Document), kRichLinks);
}

TEST(BookNotes, ALongLinkWithinTheBookIsNoReference) {
    const Read read = ReadBook(moratutor::testing::Fb2(
        "<section><p><a l:href=\"#c2\">Вторая глава книги</a> и<a l:href=\"#n\">2</a></p></section></body>"
        "<body name=\"notes\"><section id=\"n\"><p>эн</p></section>"));
    ASSERT_EQ(read.Status, BookReadStatus::Ok);
    EXPECT_EQ(NoteLinks(*read.Document), QStringList({"ref>1", "note 1"}));
}

TEST(BookDetails, PlainTextHasNone) {
    const Read read = ReadBook("просто текст");
    ASSERT_EQ(read.Status, BookReadStatus::Ok);
    EXPECT_FALSE(read.Book.HasBookDetails());
    EXPECT_TRUE(read.Book.Title.isEmpty());
}

struct AuthorCase {
    const char* line;
    const char* first;
    const char* middle;
    const char* last;
    const char* nickname;
};

class AuthorNameTest : public ::testing::TestWithParam<AuthorCase> {};

TEST_P(AuthorNameTest, SplitsAsFictionBookNamesThem) {
    const auto author = moratutor::books::AuthorFromDisplayName(QString::fromUtf8(GetParam().line));
    EXPECT_EQ(author.FirstName, GetParam().first);
    EXPECT_EQ(author.MiddleName, GetParam().middle);
    EXPECT_EQ(author.LastName, GetParam().last);
    EXPECT_EQ(author.Nickname, GetParam().nickname);
}

const AuthorCase kAuthors[] = {
    {"Филин", "", "", "", "Филин"},
    {" Анна  Лесная ", "Анна", "", "Лесная", ""},
    {"Анна Сергеевна Лесная", "Анна", "Сергеевна", "Лесная", ""},
    {"Жан Батист Поль Лесной", "Жан", "Батист Поль", "Лесной", ""},
    {"", "", "", "", ""},
};
INSTANTIATE_TEST_SUITE_P(Names, AuthorNameTest, ::testing::ValuesIn(kAuthors));

struct BookWriterCase {
    const char* name;
    std::function<std::string(const QTextDocument&, const BookInfo&)> write;
};

void PrintTo(const BookWriterCase& c, std::ostream* os) { *os << c.name; }

class BookRoundTripTest : public ::testing::TestWithParam<BookWriterCase> {};

TEST_P(BookRoundTripTest, KeepsChaptersEmphasisNotesAndDetails) {
    const Read first = ReadBook(RichFb2());
    ASSERT_EQ(first.Status, BookReadStatus::Ok);
    const Read back = ReadBook(GetParam().write(*first.Document, first.Book));
    ASSERT_EQ(back.Status, BookReadStatus::Ok);
    EXPECT_EQ(Marked(*back.Document), kRichParagraphs);
    EXPECT_EQ(NoteLinks(*back.Document), kRichLinks);
    EXPECT_EQ(back.Book.Title, "Лесные сказки");
    ASSERT_EQ(back.Book.Authors.size(), 2u);
    EXPECT_EQ(back.Book.Authors[0].DisplayName(), "Анна Сергеевна Лесная");
    EXPECT_EQ(back.Book.Authors[1].DisplayName(), "Филин");
    EXPECT_EQ(back.Book.Language, "ru");
    EXPECT_EQ(back.Book.Annotation, "Сказки о ёжике.\nИ о медвежонке.");
    EXPECT_EQ(back.Book.Cover.toStdString(), kPng);
}

const BookWriterCase kBookWriters[] = {
    {"Epub", [](const QTextDocument& d, const BookInfo& b) { return *moratutor::books::WriteEpubBook(d, b); }},
    {"Fb2", moratutor::books::WriteFb2Book},
};
INSTANTIATE_TEST_SUITE_P(Writers, BookRoundTripTest, ::testing::ValuesIn(kBookWriters),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BookWriters, WithoutAuthorsTheProgramSignsAsBefore) {
    QTextDocument document;
    document.setPlainText(QStringLiteral("текст"));
    const std::string fb2 = moratutor::books::WriteFb2(document, QStringLiteral("Книга"));
    EXPECT_NE(fb2.find("<nickname>Moratutor</nickname>"), std::string::npos);
    const std::string epub = *moratutor::books::WriteEpub(document, QStringLiteral("Книга"));
    const auto opf = moratutor::books::ZipReader::Open(epub)->Read("OEBPS/content.opf", 1 << 20);
    EXPECT_EQ(opf->find("dc:creator"), std::string::npos);
}

// Chapter files and the contents of an EPUB made from headings of levels 1 to 3.
TEST(BookWriters, EpubHasAFilePerChapterAndContentsOfTwoLevels) {
    QTextDocument document;
    document.setPlainText(QStringLiteral("вступление\nА\nа1\nа2\nтекст\nБ\nтекст"));
    const int levels[] = {0, 1, 2, 3, 0, 1, 0};
    int i = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextCursor cursor(block);
        QTextBlockFormat format;
        format.setHeadingLevel(levels[i++]);
        cursor.setBlockFormat(format);
    }
    const std::string epub = *moratutor::books::WriteEpub(document, QStringLiteral("Книга"));
    const auto archive = moratutor::books::ZipReader::Open(epub);
    int chapters = 0;
    for (const std::string& name : archive->EntryNames()) chapters += name.starts_with("OEBPS/text-") ? 1 : 0;
    EXPECT_EQ(chapters, 3);  // the text before the first chapter, А, Б
    const QString nav = QString::fromStdString(*archive->Read("OEBPS/nav.xhtml", 1 << 20)).simplified().remove(u' ');
    EXPECT_TRUE(nav.contains(QStringLiteral("<ol><li><ahref=\"text-0002.xhtml#h1\">А</a><ol><li><ahref=\"text-0002.xhtml#h2\">а1</a></li></ol></li>"
                                            "<li><ahref=\"text-0003.xhtml#h4\">Б</a></li></ol>")))
        << nav.toStdString();
}

TEST(PagedChapters, EachChapterButTheFirstStartsANewPage) {
    QTextDocument document;
    document.setPlainText(QStringLiteral("А\nтекст\nа1\nтекст\nБ\nтекст\nВ"));
    const int levels[] = {1, 0, 2, 0, 1, 0, 1};
    int i = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextCursor cursor(block);
        QTextBlockFormat format;
        format.setHeadingLevel(levels[i++]);
        cursor.setBlockFormat(format);
    }
    moratutor::books::PrepareChaptersForPages(document);
    document.setPageSize(QSizeF(400, 600));
    EXPECT_EQ(document.pageCount(), 3);
    const QTextCharFormat chapter = document.begin().begin().fragment().charFormat();
    EXPECT_GE(chapter.fontWeight(), QFont::Bold);
    EXPECT_GT(chapter.fontPointSize(), document.findBlockByNumber(2).begin().fragment().charFormat().fontPointSize());
}

// The pandoc-made sample: an author, 16 chapters with italics, bold and a note each, a cover.
TEST(PandocChapters, ReadsChaptersNotesAndDetails) {
    const Read read = ReadBook(moratutor::testing::ReadFileBytes(QStringLiteral(MORATUTOR_BOOK_SAMPLES "/pandoc-chapters.epub")));
    ASSERT_EQ(read.Status, BookReadStatus::Ok);
    const QStringList paragraphs = Marked(*read.Document);
    EXPECT_EQ(paragraphs.filter(QRegularExpression(QStringLiteral("^#1 Глава \\d+$"))).size(), 16);
    EXPECT_EQ(paragraphs.filter(QRegularExpression(QStringLiteral("^#2 Часть \\d+\\.1$"))).size(), 4);
    EXPECT_EQ(paragraphs.filter(QRegularExpression(QStringLiteral("_Курсив \\d+_ и \\*полужирный \\d+\\*"))).size(), 16);
    EXPECT_EQ(paragraphs.filter(QRegularExpression(QStringLiteral("^\\d+ Примечание номер \\d+"))).size(), 16);
    EXPECT_TRUE(paragraphs.contains("16 Примечание номер 16 о _лесе_.")) << paragraphs.join(u'\n').toStdString();
    EXPECT_EQ(NoteLinks(*read.Document).filter(QStringLiteral("ref>")).size(), 16);
    ASSERT_EQ(read.Book.Authors.size(), 1u);
    EXPECT_EQ(read.Book.Authors[0].LastName, "Лесная");
    EXPECT_EQ(read.Book.Annotation, "Сказки о ёжике и медвежонке.");
    EXPECT_EQ(read.Book.CoverMediaType, "image/png");
    EXPECT_FALSE(read.Book.Cover.isEmpty());
}

// Our EPUB and FB2 of the sample as other programs read them.
class OtherReadersTest : public ::testing::Test {
protected:
    void SetUp() override {
        const Read read = ReadBook(moratutor::testing::ReadFileBytes(QStringLiteral(MORATUTOR_BOOK_SAMPLES "/pandoc-chapters.epub")));
        ASSERT_EQ(read.Status, BookReadStatus::Ok);
        ASSERT_TRUE(dir_.isValid());
        epub_ = Save(QStringLiteral("book.epub"), *moratutor::books::WriteEpubBook(*read.Document, read.Book));
        fb2_ = Save(QStringLiteral("book.fb2"), moratutor::books::WriteFb2Book(*read.Document, read.Book));
    }
    QString Save(const QString& name, const std::string& bytes) {
        QFile file(dir_.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), qint64(bytes.size()));
        return file.fileName();
    }
    QTemporaryDir dir_;
    QString epub_;
    QString fb2_;
};

TEST_F(OtherReadersTest, EpubcheckFindsNothing) {
    const QString jar = moratutor::testing::EpubcheckJar();
    if (jar.isEmpty()) GTEST_SKIP() << "epubcheck is not installed";
    QByteArray output;
    EXPECT_EQ(moratutor::testing::RunProgram(QStringLiteral("java"), {QStringLiteral("-jar"), jar, QStringLiteral("-q"), epub_}, &output), 0)
        << output.toStdString();
}

TEST_F(OtherReadersTest, PandocFindsChaptersNotesAndAuthor) {
    if (!moratutor::testing::HaveProgram("pandoc")) GTEST_SKIP() << "pandoc is not installed";
    for (const QString& path : {epub_, fb2_}) {
        QByteArray markdown;
        ASSERT_EQ(moratutor::testing::RunProgram(QStringLiteral("pandoc"), {path, QStringLiteral("-s"), QStringLiteral("-t"),
                                                                           QStringLiteral("markdown")}, &markdown), 0);
        const QString text = QString::fromUtf8(markdown);
        EXPECT_EQ(text.count(QRegularExpression(QStringLiteral("\\n##? Глава \\d+"))), 16) << path.toStdString();
        EXPECT_EQ(text.count(QRegularExpression(QStringLiteral("\\n\\[\\^\\d+\\]: "))), 16) << text.toStdString();
        EXPECT_EQ(text.count(QStringLiteral("*Курсив")), 16) << path.toStdString();
        EXPECT_EQ(text.count(QStringLiteral("**полужирный")), 16) << path.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Лесная"))) << path.toStdString();
    }
}

}  // namespace

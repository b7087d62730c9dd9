// The EPUB, FB2 and HTML writers read back through our readers and checked by
// epubcheck; PDF export checked with poppler's tools when they are installed.
#include "BookTestSupport.h"
#include "GuiEnvironment.h"

#include "moratutor/books/BookWriters.h"
#include "moratutor/books/DocumentLoader.h"
#include "moratutor/books/PagedOutput.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <functional>
#include <string>

using moratutor::books::BookReadStatus;
using moratutor::testing::HaveProgram;
using moratutor::testing::Load;
using moratutor::testing::RunProgram;

namespace {

// A converted text as the window holds it, with a heading and emphasis added.
void FillSample(QTextDocument& document) {
    QTextCursor cursor(&document);
    QTextBlockFormat heading;
    heading.setHeadingLevel(1);
    cursor.setBlockFormat(heading);
    cursor.insertText(QStringLiteral("Ёжик в тумане"));
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    cursor.insertText(QStringLiteral("Тридцать комаров выбежали на поляну и заиграли на своих писклявых скрипках."));
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    cursor.insertText(QStringLiteral("ほし いちご "));
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    cursor.insertText(QStringLiteral("カタカナ"), bold);
    QTextCharFormat italic;
    italic.setFontItalic(true);
    cursor.insertText(QStringLiteral(" "), QTextCharFormat());
    cursor.insertText(QStringLiteral("ёжик"), italic);
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    cursor.insertText(QStringLiteral("строка") + QChar(QChar::LineSeparator) + QStringLiteral("вторая <&> 𝄞"));
    // Runs of emphasis only, with no space between them: nothing may come between them.
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    cursor.insertText(QStringLiteral("жир"), bold);
    cursor.insertText(QStringLiteral("кур"), italic);
    cursor.insertText(QStringLiteral(","), QTextCharFormat());
}

const QStringList kSampleParagraphs{
    "#1 Ёжик в тумане", "Тридцать комаров выбежали на поляну и заиграли на своих писклявых скрипках.",
    "ほし いちご *カタカナ* _ёжик_", QStringLiteral("строка") + QChar(QChar::LineSeparator) + "вторая <&> 𝄞",
    "*жир*_кур_,"};

struct WriterCase {
    const char* name;
    std::function<std::string(const QTextDocument&, const QString&)> write;
    QStringList expected;  // what our readers give back
};

void PrintTo(const WriterCase& c, std::ostream* os) { *os << c.name; }

class RoundTripTest : public ::testing::TestWithParam<WriterCase> {};

TEST_P(RoundTripTest, ReadsBackTheSameParagraphsAndTitle) {
    QTextDocument document;
    FillSample(document);
    const auto loaded = Load(GetParam().write(document, QStringLiteral("Моя «книга»")));
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    EXPECT_EQ(loaded.Paragraphs, GetParam().expected);
    EXPECT_EQ(loaded.Title, "Моя «книга»");
}

QStringList Fb2Expected() {
    QStringList expected = kSampleParagraphs;
    expected[3].replace(QChar(QChar::LineSeparator), u' ');
    return expected;
}

const WriterCase kWriters[] = {
    {"Epub", [](const QTextDocument& d, const QString& t) { return *moratutor::books::WriteEpub(d, t); }, kSampleParagraphs},
    {"Fb2", moratutor::books::WriteFb2, Fb2Expected()},
    {"Html", moratutor::books::WriteHtml, kSampleParagraphs},
};
INSTANTIATE_TEST_SUITE_P(Writers, RoundTripTest, ::testing::ValuesIn(kWriters),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BookWriters, CharactersXmlCannotCarryAreLeftOut) {
    QTextDocument document;
    document.setPlainText(QStringLiteral("a\u0001b") + QChar(0xD800) + QStringLiteral("c\uFFFEd"));
    for (const std::string& bytes : {*moratutor::books::WriteEpub(document, QStringLiteral("t\u0002")),
                                     moratutor::books::WriteFb2(document, QStringLiteral("t"))}) {
        const auto loaded = Load(bytes);
        ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
        EXPECT_EQ(loaded.Paragraphs, QStringList{"abcd"});
    }
}

TEST(BookWriters, EpubMimetypeComesFirstAndStored) {
    QTextDocument document;
    const std::string epub = *moratutor::books::WriteEpub(document, QStringLiteral("Пусто"));
    EXPECT_EQ(epub.substr(30, 28), "mimetypeapplication/epub+zip");
    EXPECT_EQ(Load(epub).Status, BookReadStatus::Ok);
}

TEST(BookWriters, LongBooksAreSplitIntoChapters) {
    QTextDocument document;
    QString text;
    for (int i = 0; i < 20000; ++i) text += QStringLiteral("Абзац номер %1 о ёжике и тумане.\n").arg(i);
    document.setPlainText(text);
    const auto loaded = Load(*moratutor::books::WriteEpub(document, QStringLiteral("Длинная")));
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    ASSERT_EQ(loaded.Paragraphs.size(), 20000);
    EXPECT_EQ(loaded.Paragraphs.last(), "Абзац номер 19999 о ёжике и тумане.");
}

TEST(BookWriters, EpubPassesEpubcheck) {
    const QString epubcheck = moratutor::testing::EpubcheckJar();
    if (epubcheck.isEmpty()) GTEST_SKIP() << "epubcheck is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QTextDocument document;
    FillSample(document);
    QTextDocument empty;
    int n = 0;
    for (const QTextDocument* d : {&document, &empty}) {
        const QString path = dir.filePath(QStringLiteral("book%1.epub").arg(++n));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const std::string epub = *moratutor::books::WriteEpub(*d, QStringLiteral("Книга"));
        ASSERT_EQ(file.write(epub.data(), qint64(epub.size())), qint64(epub.size()));
        file.close();
        QByteArray output;
        EXPECT_EQ(RunProgram(QStringLiteral("java"), {QStringLiteral("-jar"), epubcheck, QStringLiteral("-q"), path}, &output), 0) << output.toStdString();
    }
}

// The PDF goes through the program's one safe save: its failure is told in the same words.
TEST(PdfExport, ReportsAFileThatCannotBeCreated) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("нет/такой/папки.pdf"));
    QTextDocument document;
    document.setPlainText(QStringLiteral("かな"));
    const auto error = moratutor::books::ExportPdf(document, path, QStringLiteral("Книга"));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->startsWith(QStringLiteral("Cannot create file \""))) << error->toStdString();
    EXPECT_TRUE(error->contains(QStringLiteral("папки.pdf\". "))) << error->toStdString();
}

class PdfTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveProgram("pdftotext") || !HaveProgram("pdffonts")) GTEST_SKIP() << "poppler-utils are not installed";
        ASSERT_TRUE(dir_.isValid());
    }
    QString Export(const QTextDocument& document) {
        const QString path = dir_.filePath(QStringLiteral("out.pdf"));
        EXPECT_FALSE(moratutor::books::ExportPdf(document, path, QStringLiteral("Раздаточный материал")));
        return path;
    }
    QString Text(const QString& path) {
        QByteArray text;
        EXPECT_EQ(RunProgram(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")}, &text), 0);
        return QString::fromUtf8(text);
    }
    QTemporaryDir dir_;
};

TEST_F(PdfTest, TextAndKanaComeBack) {
    QTextDocument document;
    document.setDefaultFont(moratutor::books::HandoutFont());
    FillSample(document);
    const QString text = Text(Export(document));
    for (const char* piece : {"Ёжик в тумане", "Тридцать комаров выбежали", "ほし いちご カタカナ ёжик", "вторая <&>"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(piece))) << piece << "\n" << text.toStdString();
}

TEST_F(PdfTest, FontsAreEmbeddedAndKanaFontAmongThem) {
    QTextDocument document;
    document.setDefaultFont(moratutor::books::HandoutFont());
    FillSample(document);
    QByteArray fonts;
    ASSERT_EQ(RunProgram(QStringLiteral("pdffonts"), {Export(document)}, &fonts), 0);
    const QStringList lines = QString::fromUtf8(fonts).split(u'\n', Qt::SkipEmptyParts).mid(2);
    ASSERT_FALSE(lines.isEmpty());
    bool kana = false;
    for (const QString& line : lines) {
        // Columns: name type encoding emb sub uni object ID.
        const QStringList columns = line.simplified().split(u' ');
        ASSERT_GE(columns.size(), 7);
        EXPECT_EQ(columns.at(columns.size() - 5), "yes") << line.toStdString();
        kana = kana || line.contains(QStringLiteral("IPA"));
    }
    EXPECT_TRUE(kana) << fonts.toStdString();
}

TEST_F(PdfTest, ParagraphsRunningOnToTheNextPageAppearOnce) {
    QTextDocument document;
    document.setDefaultFont(moratutor::books::HandoutFont());
    QString text;
    for (int i = 1; i <= 60; ++i) {
        text += QStringLiteral("Абзац %1: ").arg(i) + QString(QStringLiteral("ёжик в тумане ")).repeated(20) + u'\n';
    }
    document.setPlainText(text);
    const QString pdfText = Text(Export(document));
    for (int i = 1; i <= 60; ++i) EXPECT_EQ(pdfText.count(QStringLiteral("Абзац %1:").arg(i)), 1) << i;
}

TEST_F(PdfTest, PagesAreNumberedAtTheFoot) {
    QTextDocument document;
    document.setDefaultFont(moratutor::books::HandoutFont());
    QString text;
    for (int i = 1; i <= 150; ++i) text += QStringLiteral("Строка %1\n").arg(i);
    document.setPlainText(text);
    const QStringList pages = Text(Export(document)).split(u'\f', Qt::SkipEmptyParts);
    ASSERT_GE(pages.size(), 3);
    for (int i = 0; i < pages.size(); ++i) {
        const QStringList lines = pages[i].split(u'\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.last().trimmed(), QString::number(i + 1)) << pages[i].toStdString();
    }
    EXPECT_TRUE(pages[0].contains(QStringLiteral("Строка 1\n")));
    EXPECT_TRUE(pages.last().contains(QStringLiteral("Строка 150")));
}

}  // namespace

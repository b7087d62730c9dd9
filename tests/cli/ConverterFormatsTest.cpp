// moratutor-convert with books in and books out: the formats it reads and writes.
#include "BookTestSupport.h"
#include "GuiEnvironment.h"

#include "moratutor/books/BookWriters.h"
#include "moratutor/books/DocumentLoader.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

using moratutor::books::BookReadStatus;
using moratutor::books::DocumentType;
using moratutor::testing::Fb2;
using moratutor::testing::Load;
using moratutor::testing::ReadFileBytes;

namespace {

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

class ConverterFormats : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    QString WriteInput(const QString& name, const std::string& bytes) const {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        return file.fileName();
    }

    static Outcome Run(const QStringList& arguments) {
        QProcess process;
        process.start(QStringLiteral(MORATUTOR_CONVERT_PATH), arguments);
        if (!process.waitForFinished(120000)) return {};
        return {process.exitCode(), process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }

    QTemporaryDir dir_;
};

// "Ка" of group 2 becomes "か" in hiragana.
const std::string kBook = Fb2("<title><p>Карта</p></title><section><p>Кака <strong>ока</strong></p><p>Второй абзац</p></section>",
                              "Книга о кошках");

TEST_F(ConverterFormats, ReadsABookToStandardOutput) {
    const Outcome outcome = Run({QStringLiteral("--groups"), QStringLiteral("2"), WriteInput(QStringLiteral("b.fb2"), kBook)});
    EXPECT_EQ(outcome.code, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "かрта\nかか оか\nВторой абзац");
    EXPECT_EQ(outcome.err, "");
}

struct FormatCase {
    const char* name;
    QStringList arguments;  // after the input; %1 is the output folder
    QString output;
    DocumentType type;      // what our reader finds in the file
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class OutputFormatTest : public ConverterFormats, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(OutputFormatTest, WritesTheFormatThatReadsBack) {
    const FormatCase& c = GetParam();
    QStringList arguments{QStringLiteral("--groups"), QStringLiteral("2"), WriteInput(QStringLiteral("b.fb2"), kBook)};
    for (const QString& argument : c.arguments) arguments << QString(argument).replace(QStringLiteral("%1"), dir_.path());
    const Outcome outcome = Run(arguments);
    ASSERT_EQ(outcome.code, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "");
    const auto loaded = Load(ReadFileBytes(Path(c.output)));
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    EXPECT_EQ(loaded.Type, c.type);
    EXPECT_EQ(loaded.Paragraphs.join(u'|').remove(u'*').remove(QRegularExpression(QStringLiteral("#\\d "))),
              "かрта|かか оか|Второй абзац");
    if (c.type == DocumentType::Epub || c.type == DocumentType::Fb2 || c.type == DocumentType::Html) {
        EXPECT_EQ(loaded.Paragraphs.value(0), "#1 かрта");  // the book's title stays a heading
    }
    if (c.type == DocumentType::Epub || c.type == DocumentType::Fb2) {
        EXPECT_EQ(loaded.Title, "Книга о кошках");
    }
}

const FormatCase kFormats[] = {
    {"EpubFromExtension", {"-o", "%1/out.epub"}, "out.epub", DocumentType::Epub},
    {"Fb2FromExtension", {"--output", "%1/out.fb2"}, "out.fb2", DocumentType::Fb2},
    {"HtmlFromExtension", {"--output=%1/out.htm"}, "out.htm", DocumentType::Html},
    {"RtfFromExtension", {"-o", "%1/out.rtf"}, "out.rtf", DocumentType::Rtf},
    {"TxtWhenNoneKnown", {"-o", "%1/out.book"}, "out.book", DocumentType::PlainText},
    {"FormatBeatsExtension", {"--format", "fb2", "-o", "%1/out.txt"}, "out.txt", DocumentType::Fb2},
    {"ZippedFb2FromExtension", {"-o", "%1/out.fb2.zip"}, "out.fb2.zip", DocumentType::ZippedFb2},
    {"ZipIsAZippedFb2", {"-o", "%1/out.zip"}, "out.zip", DocumentType::ZippedFb2},
    {"ZippedFb2ByFormat", {"--format", "fb2.zip", "-o", "%1/out.book"}, "out.book", DocumentType::ZippedFb2},
};
INSTANTIATE_TEST_SUITE_P(Cli, OutputFormatTest, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

// A book with its author, chapters and a note: group 2's syllables ("ка", "ко", "ку") become kana.
const std::string kRichBook =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" xmlns:l=\"http://www.w3.org/1999/xlink\">"
    "<description><title-info><author><first-name>Анна</first-name><last-name>Лесная</last-name></author>"
    "<book-title>Кошки</book-title><annotation><p>О кошках.</p></annotation><lang>ru</lang></title-info></description>"
    "<body><section><title><p>Глава кошек</p></title><p>Кака<a l:href=\"#n1\" type=\"note\">1</a> <strong>ока</strong></p>"
    "<section><title><p>Часть</p></title><p><emphasis>Вся курсивом</emphasis></p></section></section>"
    "<section><title><p>Глава вторая</p></title><p>Конец</p></section></body>"
    "<body name=\"notes\"><section id=\"n1\"><title><p>1</p></title><p>Сноска о кошке</p></section></body></FictionBook>";

struct BookOutputCase {
    const char* name;
    QString output;
    QStringList paragraphs;  // as our readers find them, or the text's lines
};

void PrintTo(const BookOutputCase& c, std::ostream* os) { *os << c.name; }

class BookThroughConverterTest : public ConverterFormats, public ::testing::WithParamInterface<BookOutputCase> {};

TEST_P(BookThroughConverterTest, KeepsChaptersNotesAndDetails) {
    const BookOutputCase& c = GetParam();
    const Outcome outcome = Run({QStringLiteral("--groups"), QStringLiteral("2"), WriteInput(QStringLiteral("b.fb2"), kRichBook),
                                 QStringLiteral("-o"), Path(c.output)});
    ASSERT_EQ(outcome.code, 0) << outcome.err;
    const std::string bytes = ReadFileBytes(Path(c.output));
    if (c.output.endsWith(u".txt")) {
        EXPECT_EQ(QString::fromStdString(bytes).split(u'\n'), c.paragraphs);
        return;
    }
    QTextDocument document;
    moratutor::books::LoadedDocument loaded;
    ASSERT_EQ(moratutor::books::LoadDocument(bytes, document, &loaded), BookReadStatus::Ok);
    EXPECT_EQ(moratutor::testing::Marked(document), c.paragraphs);
    if (c.output.endsWith(u".rtf")) return;
    EXPECT_EQ(loaded.Book.Title, "Кошки");
    ASSERT_EQ(loaded.Book.Authors.size(), 1u);
    EXPECT_EQ(loaded.Book.Authors[0].DisplayName(), "Анна Лесная");
    EXPECT_EQ(loaded.Book.Annotation, "О кошках.");
}

const QStringList kRichConverted{"#1 Глава こшек", "かか1 *оか*", "#2 Часть", "_Вся くрсивом_", "#1 Глава вторая", "こнец",
                                  "#1 Примечания", "1 Сносか о こшке"};

const BookOutputCase kBookOutputs[] = {
    {"Epub", "out.epub", kRichConverted},
    {"Fb2", "out.fb2", kRichConverted},
    {"ZippedFb2", "out.fb2.zip", kRichConverted},
    // Formats without chapters or notes: the notes at the end under their heading.
    {"Txt", "out.txt", {"Глава こшек", "かか1 оか", "Часть", "Вся くрсивом", "Глава вторая", "こнец", "Примечания", "1 Сносか о こшке"}},
};
INSTANTIATE_TEST_SUITE_P(Cli, BookThroughConverterTest, ::testing::ValuesIn(kBookOutputs),
                         [](const auto& info) { return std::string(info.param.name); });

// A line break inside a paragraph stays one (FB2 has none: a space), and the paragraphs
// around it stay as they were.
struct LineBreakCase {
    const char* name;
    QString output;
    QStringList paragraphs;
};

void PrintTo(const LineBreakCase& c, std::ostream* os) { *os << c.name; }

class LineBreakThroughConverterTest : public ConverterFormats, public ::testing::WithParamInterface<LineBreakCase> {};

TEST_P(LineBreakThroughConverterTest, StaysInItsParagraph) {
    const LineBreakCase& c = GetParam();
    const std::string page = "<html><body><h1>Кот</h1><p>Кака<br/>ока <i>кот</i></p><p></p><p>Конец</p></body></html>";
    const Outcome outcome = Run({QStringLiteral("--groups"), QStringLiteral("2"), WriteInput(QStringLiteral("b.html"), page),
                                 QStringLiteral("-o"), Path(c.output)});
    ASSERT_EQ(outcome.code, 0) << outcome.err;
    EXPECT_EQ(Load(ReadFileBytes(Path(c.output))).Paragraphs, c.paragraphs);
}

const LineBreakCase kLineBreaks[] = {
    {"Epub", "out.epub", {"#1 こт", QStringLiteral("かか\u2028оか _こт_"), "こнец"}},
    {"Html", "out.html", {"#1 こт", QStringLiteral("かか\u2028оか _こт_"), "こнец"}},
    {"Fb2", "out.fb2", {"#1 こт", "かか оか _こт_", "こнец"}},
};
INSTANTIATE_TEST_SUITE_P(Cli, LineBreakThroughConverterTest, ::testing::ValuesIn(kLineBreaks),
                         [](const auto& info) { return std::string(info.param.name); });

// The book's headings and emphasis come through the conversion in every format that can
// carry them; plain text has none to keep.
TEST_P(OutputFormatTest, KeepsHeadingsAndEmphasis) {
    const FormatCase& c = GetParam();
    if (c.type == DocumentType::PlainText) GTEST_SKIP() << "plain text carries no formatting";
    QStringList arguments{QStringLiteral("--groups"), QStringLiteral("2"), WriteInput(QStringLiteral("b.fb2"), kBook)};
    for (const QString& argument : c.arguments) arguments << QString(argument).replace(QStringLiteral("%1"), dir_.path());
    const Outcome outcome = Run(arguments);
    ASSERT_EQ(outcome.code, 0) << outcome.err;
    const auto loaded = Load(ReadFileBytes(Path(c.output)));
    ASSERT_EQ(loaded.Status, BookReadStatus::Ok);
    ASSERT_EQ(loaded.Paragraphs.size(), 3);
    // RTF has no heading levels: its heading is the bold paragraph Qt writes for one.
    const QString heading = loaded.Paragraphs[0];
    EXPECT_TRUE(c.type == DocumentType::Rtf ? heading == "*かрта*" : heading.endsWith(QStringLiteral(" かрта")) && heading.startsWith(u'#'))
        << heading.toStdString();
    EXPECT_EQ(loaded.Paragraphs[1], "かか *оか*");
    EXPECT_EQ(loaded.Paragraphs[2], "Второй абзац");
}

TEST_F(ConverterFormats, HelpNamesTheOutputOptions) {
    const Outcome outcome = Run({QStringLiteral("--help")});
    EXPECT_EQ(outcome.code, 0);
    for (const char* piece : {"[-o FILE]", "[--format txt|rtf|epub|fb2|fb2.zip|pdf|html]", "-o, --output FILE", "--format FORMAT",
                              "book.fb2 -o book-kana.epub"})
        EXPECT_NE(outcome.out.find(piece), std::string::npos) << piece;
}

// A damaged book is converted as far as it can be read; the warning and the status say so.
TEST_F(ConverterFormats, DamagedBookIsConvertedWithAWarning) {
    const std::string damaged = Fb2("<section><p>Кака</p><p>ока & ока</p><p>Кака</p></section>");
    const Outcome outcome = Run({QStringLiteral("--groups"), QStringLiteral("2"), WriteInput(QStringLiteral("d.fb2"), damaged),
                                 QStringLiteral("-o"), Path(QStringLiteral("out.fb2.zip"))});
    EXPECT_EQ(outcome.code, 3);
    EXPECT_EQ(outcome.err, "moratutor-convert: Книга повреждена: показан текст, который удалось прочитать.\n");
    const auto loaded = Load(ReadFileBytes(Path(QStringLiteral("out.fb2.zip"))));
    EXPECT_EQ(loaded.Paragraphs, (QStringList{"かか", "оか & оか", "かか"}));
    EXPECT_EQ(Run({QStringLiteral("--groups"), QStringLiteral("2"), Path(QStringLiteral("d.fb2"))}).out, "かか\nоか & оか\nかか");
}

TEST_F(ConverterFormats, PdfHoldsTheText) {
    if (!moratutor::testing::HaveProgram("pdftotext")) GTEST_SKIP() << "pdftotext is not installed";
    const Outcome outcome = Run({QStringLiteral("--groups"), QStringLiteral("2"), WriteInput(QStringLiteral("b.fb2"), kBook),
                                 QStringLiteral("-o"), Path(QStringLiteral("out.pdf"))});
    ASSERT_EQ(outcome.code, 0) << outcome.err;
    QByteArray text;
    ASSERT_EQ(moratutor::testing::RunProgram(QStringLiteral("pdftotext"), {Path(QStringLiteral("out.pdf")), QStringLiteral("-")},
                                             &text),
              0);
    EXPECT_TRUE(QString::fromUtf8(text).contains(QStringLiteral("かか оか"))) << text.toStdString();
}

TEST_F(ConverterFormats, TitleFromTheFileNameWhenTheTextHasNone) {
    const Outcome outcome = Run({QStringLiteral("--groups"), QStringLiteral("2"),
                                 WriteInput(QStringLiteral("Сказки.txt"), "Кот"), QStringLiteral("-o"),
                                 Path(QStringLiteral("out.fb2"))});
    ASSERT_EQ(outcome.code, 0) << outcome.err;
    EXPECT_EQ(Load(ReadFileBytes(Path(QStringLiteral("out.fb2")))).Title, "Сказки");
}

TEST_F(ConverterFormats, ReadsEveryBookType) {
    QTextDocument document;
    document.setPlainText(QStringLiteral("Кака"));
    const std::string types[] = {*moratutor::books::WriteEpub(document, QStringLiteral("t")),
                                 moratutor::books::WriteFb2(document, QStringLiteral("t")),
                                 moratutor::books::WriteHtml(document, QStringLiteral("t")), "{\\rtf1 \\u1050?\\u1072?\\u1082?\\u1072?}"};
    for (const std::string& bytes : types) {
        const Outcome outcome = Run({QStringLiteral("--groups"), QStringLiteral("2"), WriteInput(QStringLiteral("in"), bytes)});
        EXPECT_EQ(outcome.code, 0) << outcome.err;
        EXPECT_EQ(outcome.out, "かか") << bytes.substr(0, 40);
    }
}

// The answer key is written whichever way the text goes, and is the same key each time.
TEST_F(ConverterFormats, TheAnswerKeyComesWithEveryOutput) {
    const QString input = WriteInput(QStringLiteral("in.txt"), "Кака ока\nВторой абзац");
    const QString key = Path(QStringLiteral("key.tsv"));
    const std::string expected = "0\t1\tКа\n1\t1\tка\n4\t1\tка\n";
    const QStringList outputs{QString(), QStringLiteral("out.txt"), QStringLiteral("out.rtf"), QStringLiteral("out.epub"),
                              QStringLiteral("out.fb2"), QStringLiteral("out.html"), QStringLiteral("out.pdf")};
    for (const QString& output : outputs) {
        SCOPED_TRACE(output.isEmpty() ? std::string("standard output") : output.toStdString());
        QFile::remove(key);
        QStringList arguments{QStringLiteral("--groups"), QStringLiteral("2"), QStringLiteral("--answer-key"), key, input};
        if (!output.isEmpty()) arguments << QStringLiteral("-o") << Path(output);
        const Outcome outcome = Run(arguments);
        ASSERT_EQ(outcome.code, 0) << outcome.err;
        EXPECT_EQ(ReadFileBytes(key), expected);
        EXPECT_EQ(outcome.out, output.isEmpty() ? "かか оか\nВторой абзац" : "");
    }
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("key")),
              QStringList{QStringLiteral("key.tsv")});
}

struct RefusalCase {
    const char* name;
    QStringList arguments;
    int code;
    const char* error;  // the start of standard error
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class RefusalTest : public ConverterFormats, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, ExplainsAndWritesNothing) {
    QStringList arguments{QStringLiteral("--groups"), QStringLiteral("2")};
    for (const QString& argument : GetParam().arguments) {
        if (argument == u"BOOK")
            arguments << WriteInput(QStringLiteral("b.fb2"), kBook);
        else if (argument == u"PNG")
            arguments << WriteInput(QStringLiteral("p.epub"), std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
        else if (argument == u"DAMAGED")
            arguments << WriteInput(QStringLiteral("d.epub"), "PK\x03\x04 not really a zip");
        else
            arguments << QString(argument).replace(QStringLiteral("%1"), dir_.path());
    }
    // A FIFO no one reads from: opening it to write would block for good.
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path(QStringLiteral("fifo"))).constData(), 0600), 0);
    const Outcome outcome = Run(arguments);
    EXPECT_EQ(outcome.code, GetParam().code);
    const std::string error = QString::fromUtf8(GetParam().error).replace(QStringLiteral("%1"), dir_.path()).toStdString();
    EXPECT_EQ(outcome.err.rfind(error, 0), 0u) << outcome.err;
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).filter(QStringLiteral("out")), QStringList());
}

const RefusalCase kRefusals[] = {
    {"BookToStandardOutput", {"--format", "epub", "BOOK"}, 2,
     "moratutor-convert: only txt goes to standard output"},
    {"UnknownFormat", {"--format", "doc", "-o", "%1/out.doc", "BOOK"}, 2, "moratutor-convert: bad format \"doc\""},
    {"OutputWithoutName", {"BOOK", "-o"}, 2, "moratutor-convert: option -o needs a value"},
    {"DamagedBook", {"-o", "%1/out.epub", "DAMAGED"}, 1, "Failed to Load Stream"},
    {"ImageNamedAsABook", {"-o", "%1/out.epub", "PNG"}, 1, "Файл не текст и не книга: похоже, это изображение PNG."},
    {"ImageToStandardOutput", {"PNG"}, 1, "Файл не текст и не книга: похоже, это изображение PNG."},
    {"FolderMissing", {"-o", "%1/no/out.epub", "BOOK"}, 1, "Cannot create file \""},
    {"DeviceAsOutput", {"-o", "/dev/null", "BOOK"}, 1, "Cannot create file \"/dev/null\": not a regular file\n"},
    {"FifoAsOutput", {"-o", "%1/fifo", "BOOK"}, 1, "Cannot create file \"%1/fifo\": not a regular file\n"},
};
INSTANTIATE_TEST_SUITE_P(Cli, RefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

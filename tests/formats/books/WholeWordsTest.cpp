// Lines end only where Russian typesetting ends them, in a layout of our own and in a PDF.
#include "BookTestSupport.h"
#include "GuiEnvironment.h"

#include "moratutor/books/BookWriters.h"
#include "moratutor/books/PagedOutput.h"
#include "moratutor/books/WholeWords.h"
#include "moratutor/books/ZipArchive.h"

#include <QTemporaryDir>
#include <QTextLayout>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <string>

using moratutor::books::MayEndLineAt;
using moratutor::testing::HaveProgram;
using moratutor::testing::RunProgram;

namespace {

// Converted words as a run of the window gives them.
const QString kConverted = QStringLiteral(
    "стうл う чあс うже うлыбか おкちゃбрь らどсть тыしゃчあ きおと どлжеん вы теあтр в ほろшお やんわрь "
    "うчеにк ぐлやть あвぐст いсとりや うеはть дるг плおщあдь сかзあть лおшあдь んе い сと гるшあ おさか "
    "おтвечあть にчと ほлおдの встреちть в хлеб ぽにゃть あпрель うлыбか пол-ぽんや えвげにй — ちそ 5-6");

// What a reader of Russian accepts at a line's end: after a space, or after a hyphen or
// dash with a letter next. Written apart from the code under test, as the rule reads.
bool RussianLineEnd(const QString& text, qsizetype end) {
    if (end >= text.size()) return true;
    const QChar before = text[end - 1];
    if (before == u' ' || before == u'\u3000') return true;
    return (before == u'-' || before == u'—') && text[end].isLetter();
}

struct EndCase {
    const char* name;
    const char16_t* text;
    qsizetype position;
    bool mayEnd;
};

class MayEndLine : public ::testing::TestWithParam<EndCase> {};

TEST_P(MayEndLine, FollowsRussianTypesetting) {
    EXPECT_EQ(MayEndLineAt(QString::fromUtf16(GetParam().text), GetParam().position), GetParam().mayEnd);
}

const EndCase kEndCases[] = {
    {"BetweenCyrillicAndKana", u"えвげにй", 2, false},
    {"BetweenTwoKana", u"えвげにй", 3, false},
    {"AfterASpace", u"たか мы", 3, true},
    {"BeforeASpace", u"たか мы", 2, false},
    {"AfterAnIdeographicSpace", u"たか\u3000мы", 3, true},
    {"AfterANoBreakSpace", u"たか\u00A0мы", 3, false},
    {"AfterAHyphen", u"пол-ぽんや", 4, true},
    {"AfterAnEmDashBeforeALetter", u"да—ね", 3, true},
    {"AfterAMinusSign", u"5-6", 2, false},
    {"AfterALineSeparator", u"か\u2028ね", 2, true},
    {"TextStart", u"かね", 0, true},
    {"TextEnd", u"かね", 2, true},
};
INSTANTIATE_TEST_SUITE_P(Cases, MayEndLine, ::testing::ValuesIn(kEndCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WholeWords, EveryLineEndsWhereARussianLineMayAtEveryWidth) {
    QFont font = moratutor::books::HandoutFont();
    QTextLayout layout(kConverted, font);
    for (qreal width = 40; width <= 600; width += 7) {
        layout.beginLayout();
        for (;;) {
            QTextLine line = layout.createLine();
            if (!line.isValid()) break;
            moratutor::books::SetLineWidthKeepingWords(kConverted, line, width);
        }
        layout.endLayout();
        qsizetype covered = 0;
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            ASSERT_EQ(line.textStart(), covered) << "width " << width;
            covered += line.textLength();
            // Only a word wider than the whole line, with no place to end before, is broken.
            bool placeBefore = false;
            for (qsizetype p = line.textStart() + 1; p < covered; ++p) placeBefore = placeBefore || RussianLineEnd(kConverted, p);
            EXPECT_TRUE(RussianLineEnd(kConverted, covered) || !placeBefore)
                << "width " << width << ": ends at " << kConverted.mid(covered - 3, 6).toStdString();
        }
        EXPECT_EQ(covered, kConverted.size());
    }
}

// A reader lays the book out itself: the style sheet asks it to keep words whole.
TEST(WholeWords, BooksAndPagesAskTheReaderToKeepWordsWhole) {
    QTextDocument document;
    document.setPlainText(kConverted);
    EXPECT_NE(moratutor::books::WriteHtml(document, QStringLiteral("Слова")).find("word-break: keep-all"), std::string::npos);
    const auto epub = moratutor::books::WriteEpub(document, QStringLiteral("Слова"));
    ASSERT_TRUE(epub);
    const auto zip = moratutor::books::ZipReader::Open(*epub);
    ASSERT_TRUE(zip);
    const auto css = zip->Read("OEBPS/style.css", 1 << 16);
    ASSERT_TRUE(css);
    EXPECT_NE(css->find("word-break: keep-all"), std::string::npos) << *css;
}

TEST(WholeWords, PdfLinesAreWholeWords) {
    if (!HaveProgram("pdftotext")) GTEST_SKIP() << "poppler-utils are not installed";
    QTextDocument document;
    document.setDefaultFont(moratutor::books::HandoutFont());
    QStringList paragraphs;
    for (int i = 0; i < 12; ++i) paragraphs << kConverted;
    document.setPlainText(paragraphs.join(u'\n'));
    const auto pdf = moratutor::books::RenderPdf(document, QStringLiteral("Слова"));
    ASSERT_TRUE(pdf);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("words.pdf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(*pdf);
    file.close();
    QByteArray text;
    ASSERT_EQ(RunProgram(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}, &text), 0);
    // Lines joined by a space give back the words; a line after a hyphen or dash joins on.
    QStringList lines = QString::fromUtf8(text).split(u'\n', Qt::SkipEmptyParts);
    lines.removeIf([](const QString& line) { return line.trimmed().toInt() > 0 || line.trimmed().isEmpty(); });
    QString joined;
    for (const QString& line : lines) {
        if (!joined.isEmpty() && !joined.endsWith(u'-')) joined += u' ';
        joined += line.trimmed();
    }
    ASSERT_GT(lines.size(), 12);
    EXPECT_EQ(joined.simplified().toStdString(), (QStringList(paragraphs).join(u' ')).simplified().toStdString());
}

}  // namespace

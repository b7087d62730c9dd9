// What the RTF reader makes of each construct, and how it copes with bad input.
#include "GuiEnvironment.h"
#include "moratutor/rtf/RtfReader.h"

#include <QFile>
#include <QFont>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <string>

using moratutor::rtf::ReadRtf;
using moratutor::rtf::RtfReadLimits;
using moratutor::rtf::RtfReadStatus;

namespace {

QString ReadText(const std::string& rtf) {
    QTextDocument document;
    EXPECT_EQ(ReadRtf(rtf, document), RtfReadStatus::Ok) << rtf;
    return document.toRawText();
}

// The character format of the first character of text in the document.
QTextCharFormat FormatOf(const QTextDocument& document, const QString& text) {
    const QTextCursor found = document.find(text);
    EXPECT_FALSE(found.isNull()) << text.toStdString();
    QTextCursor at(const_cast<QTextDocument*>(&document));
    at.setPosition(found.selectionStart() + 1);
    return at.charFormat();
}

struct TextCase {
    const char* name;
    std::string rtf;
    std::u16string text;
};

// Test names and failure messages name the case, not the bytes of the structure.
void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class RtfTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(RtfTextTest, ReadsText) {
    const TextCase& c = GetParam();
    EXPECT_EQ(ReadText(c.rtf), QString::fromStdU16String(c.text));
}

const TextCase kTextCases[] = {
    {"PlainAscii", R"({\rtf1 Hello, world})", u"Hello, world"},
    {"DelimiterSpaceIsNotText", R"({\rtf1\b Hello\b0 })", u"Hello"},
    {"FileLineEndsAreNotText", "{\\rtf1 ab\r\ncd\nef}", u"abcdef"},
    {"BackslashNewlineIsParagraph", "{\\rtf1 ab\\\ncd}", u"ab\u2029cd"},
    {"AnsiCpg1251Hex", R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2})", u"Привет"},
    {"DefaultCodePageIs1252", R"({\rtf1\ansi \'e9\'80})", u"é€"},
    {"FontCharset204", R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f0\fcharset0 Arial;}{\f1\fcharset204 Arial Cyr;}}\f0 \'e9\f1 \'e9})",
     u"éй"},
    {"FontCharset128DoubleByte", R"({\rtf1\ansi{\fonttbl{\f1\fcharset128 MS Mincho;}}\f1 \'82\'a0\'83\'41})", u"あア"},
    {"FontCharset134DoubleByte", R"({\rtf1\ansi{\fonttbl{\f0\fcharset134 SimSun;}}\f0 \'d6\'d0\'ce\'c4})", u"中文"},
    {"FontCodePageOverridesCharset", R"({\rtf1\ansi{\fonttbl{\f0\fcharset0\cpg1251 X;}}\f0 \'ff})", u"я"},
    {"AnsiCpg932RawBytes", "{\\rtf1\\ansi\\ansicpg932 \x82\xa0}", u"あ"},
    {"PlainRestoresDefaultFont", R"({\rtf1\ansi\deff1{\fonttbl{\f0\fcharset0 A;}{\f1\fcharset204 B;}}\f0 \'e9\plain \'e9})",
     u"éй"},
    {"UnicodePositive", R"({\rtf1 \u1071?\u12354?})", u"Яあ"},
    {"UnicodeNegative", R"({\rtf1 \u-223?})", u"\uFF21"},
    {"SurrogatePair", R"({\rtf1 \u-10179?\u-8704?})", u"\U0001F600"},
    {"LoneSurrogateBecomesReplacement", R"({\rtf1 a\u-10179?b})", u"a\uFFFDb"},
    {"Uc0SkipsNothing", R"({\rtf1\uc0\u1071 x})", u"Яx"},
    {"Uc2SkipsTwo", R"({\rtf1\uc2\u1071\'cf\'f0x})", u"Яx"},
    {"UcIsGroupScoped", R"({\rtf1{\uc2\u1071 ab}\u1071 ab})", u"ЯЯb"},
    {"SkipEndsAtGroupEnd", R"({\rtf1\uc3\u1071{x}})", u"Яx"},
    {"SkipCountsControlWord", R"({\rtf1\u1071\emdash z})", u"Яz"},
    {"SkipCountsBinAsOne", R"({\rtf1\u1071\bin2 xyz})", u"Яz"},
    {"ParLineTab", R"({\rtf1 a\par b\line c\tab d})", u"a\u2029b\u2028c\td"},
    // Word processors end every paragraph with \par; only a second one makes an empty paragraph.
    {"LastParEndsParagraph", R"({\rtf1 a\par})", u"a"},
    {"LastParAfterEmptyParagraph", R"({\rtf1 a\par\par})", u"a\u2029"},
    {"ParOnly", R"({\rtf1\par})", u""},
    {"HiddenAfterLastPar", R"({\rtf1 a\par{\v b}})", u"a"},
    {"Symbols", R"({\rtf1 \~\emdash\endash\lquote\rquote\ldblquote\rdblquote\bullet\_})",
     u"\u00A0\u2014\u2013\u2018\u2019\u201C\u201D\u2022\u2011"},
    {"EscapedCharacters", R"({\rtf1 \\\{\}})", u"\\{}"},
    {"TablesAreNotText",
     R"({\rtf1{\fonttbl{\f0\fswiss Arial;}}{\colortbl;\red1\green2\blue3;}{\stylesheet{\s0 Normal;}}x})", u"x"},
    {"BreaksInFontNameIgnored", R"({\rtf1{\fonttbl{\f0\fcharset204 Ar\line i\tab al;}}\f0 \'e9})", u"й"},
    {"FontTableWithoutGroups", R"({\rtf1{\fonttbl\f0\fswiss Helvetica;\f1\fcharset204 X;}\f1 \'e9})", u"й"},
    {"StarredDestinationSkipped", R"({\rtf1 a{\*\unknown hidden{deeper}}b})", u"ab"},
    {"InfoSkipped", R"({\rtf1{\info{\title T}{\author A}}x})", u"x"},
    {"PictSkipped", R"({\rtf1 a{\pict\pngblip 89504e47}b})", u"ab"},
    {"BinSkipsExactBytes", "{\\rtf1 a{\\pict\\bin3 }{\\}b}", u"ab"},
    {"BinPastEnd", R"({\rtf1 a\bin99 xyz)", u"a"},
    {"HyperlinkKeepsResult", R"({\rtf1 see {\field{\*\fldinst {HYPERLINK "http://x/"}}{\fldrslt {\ul link}}} now})",
     u"see link now"},
    {"UnstarredFieldInstructionSkipped", R"({\rtf1{\field{\fldinst PAGE}{\fldrslt 7}}})", u"7"},
    {"HiddenText", R"({\rtf1 a\v hidden\v0 b})", u"ab"},
    {"UnknownDestinationShowsText", R"({\rtf1{\foo text}})", u"text"},
    {"Truncated", R"({\rtf1 abc{\b de)", u"abcde"},
    {"ExtraClosingBraceEndsDocument", R"({\rtf1 a}b})", u"a"},
    {"UndeclaredFontAndColour", R"({\rtf1\f9\cf7\highlight5 x})", u"x"},
    {"BadHexDigits", R"({\rtf1 \'zz\'4})", u"zz"},
    {"ControlCharactersAreNotText", R"({\rtf1 a\u1?b\u13?c)", u"abc"},
    {"HugeNumbersSaturate", R"({\rtf1\fs99999999999999999999 x\u99999999999999999?y})", u"x\uFFFFy"},
    {"ParagraphSeparatorByNumber", R"({\rtf1 a\u8233?b})", u"a\u2029b"},
    // Tabs part the cells of a row; none follows the last.
    {"CellsPartedByTabs", R"({\rtf1\trowd a\cell b\cell\row c\cell\row})", u"a\tb\u2029c"},
    {"EmptyCellsKeepTheirTabs", R"({\rtf1\trowd\cell\cell c\cell\row\cell\cell\row x})", u"\t\tc\u2029\u2029x"},
    // A list number stays with its tab; LibreOffice's unnumbered headings carry a bare tab.
    {"ListTextWithoutNumber", R"({\rtf1{\listtext\pard\plain \tab}Head\par{\listtext 1.\tab}item\par})",
     u"Head\u2029" u"1.\titem"},
    {"ListTextInCell", R"({\rtf1 a\cell{\listtext\tab}b\cell\row})", u"a\tb"},
};

INSTANTIATE_TEST_SUITE_P(Constructs, RtfTextTest, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RtfReaderFormat, CharacterFormatting) {
    QTextDocument document;
    ASSERT_EQ(ReadRtf(R"({\rtf1{\fonttbl{\f0 Arial;}{\f1 DejaVu Serif;}}{\colortbl;\red255\green0\blue0;)"
                      R"(\red0\green0\blue255;}\f1\fs30\b\i\ul\strike\cf1\highlight2 X\plain Y})",
                      document),
              RtfReadStatus::Ok);
    const QTextCharFormat x = FormatOf(document, "X");
    EXPECT_EQ(x.fontWeight(), QFont::Bold);
    EXPECT_TRUE(x.fontItalic());
    EXPECT_TRUE(x.fontUnderline());
    EXPECT_TRUE(x.fontStrikeOut());
    EXPECT_EQ(x.fontFamilies().toStringList(), QStringList{"DejaVu Serif"});
    EXPECT_DOUBLE_EQ(x.fontPointSize(), 15.0);
    EXPECT_EQ(x.foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(x.background().color(), QColor(0, 0, 255));

    const QTextCharFormat y = FormatOf(document, "Y");
    EXPECT_NE(y.fontWeight(), QFont::Bold);
    EXPECT_FALSE(y.fontItalic());
    EXPECT_FALSE(y.fontUnderline());
    EXPECT_FALSE(y.fontStrikeOut());
    EXPECT_FALSE(y.hasProperty(QTextFormat::ForegroundBrush));
}

TEST(RtfReaderFormat, FontNamesFromTheTable) {
    QTextDocument document;
    ASSERT_EQ(ReadRtf(R"({\rtf1{\fonttbl{\f0 Ar\line ial;}{\f1\fcharset128 {\*\panose 0}\'82\'6c\'82\'72 Mincho;}}\f0 x\f1 y\f5 z})",
                      document),
              RtfReadStatus::Ok);
    EXPECT_EQ(FormatOf(document, "x").fontFamilies().toStringList(), QStringList{"Arial"});
    EXPECT_EQ(FormatOf(document, "y").fontFamilies().toStringList(), QStringList{QString::fromUtf16(u"ＭＳ Mincho")});
    EXPECT_FALSE(FormatOf(document, "z").hasProperty(QTextFormat::FontFamilies));  // never declared
}

TEST(RtfReaderFormat, GroupsRestoreAndZeroTurnsOff) {
    QTextDocument document;
    ASSERT_EQ(ReadRtf(R"({\rtf1 {\b A\i B}C\ul D\ulnone E\ul F\ul0 G\strike H\strike0 I\uldb J\ulc1 K})", document),
              RtfReadStatus::Ok);
    EXPECT_EQ(FormatOf(document, "A").fontWeight(), QFont::Bold);
    EXPECT_TRUE(FormatOf(document, "B").fontItalic());
    EXPECT_NE(FormatOf(document, "C").fontWeight(), QFont::Bold);
    EXPECT_FALSE(FormatOf(document, "C").fontItalic());
    EXPECT_TRUE(FormatOf(document, "D").fontUnderline());
    EXPECT_FALSE(FormatOf(document, "E").fontUnderline());
    EXPECT_TRUE(FormatOf(document, "F").fontUnderline());
    EXPECT_FALSE(FormatOf(document, "G").fontUnderline());
    EXPECT_TRUE(FormatOf(document, "H").fontStrikeOut());
    EXPECT_FALSE(FormatOf(document, "I").fontStrikeOut());
    EXPECT_TRUE(FormatOf(document, "J").fontUnderline());
    EXPECT_TRUE(FormatOf(document, "K").fontUnderline());  // \ulc is the underline's colour only
}

TEST(RtfReaderFormat, ParagraphAlignment) {
    QTextDocument document;
    ASSERT_EQ(ReadRtf(R"({\rtf1\pard\qc A\par\pard\qr B\par\pard C\par\qj D\par{\pard\qc E}})", document),
              RtfReadStatus::Ok);
    const Qt::Alignment expected[] = {Qt::AlignHCenter, Qt::AlignRight, Qt::AlignLeft, Qt::AlignJustify,
                                      Qt::AlignHCenter};
    QTextBlock block = document.begin();
    for (const Qt::Alignment alignment : expected) {
        ASSERT_TRUE(block.isValid());
        EXPECT_EQ(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, alignment) << block.text().toStdString();
        block = block.next();
    }
}

TEST(RtfReaderFormat, SubscriptAndSuperscript) {
    QTextDocument document;
    ASSERT_EQ(ReadRtf(R"({\rtf1 a\sub b\super c\nosupersub d})", document), RtfReadStatus::Ok);
    EXPECT_EQ(FormatOf(document, "b").verticalAlignment(), QTextCharFormat::AlignSubScript);
    EXPECT_EQ(FormatOf(document, "c").verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(FormatOf(document, "d").verticalAlignment(), QTextCharFormat::AlignNormal);
}

// LibreOffice writes raised and lowered text as \upN and \dnN, a character background as \chcbpatN.
TEST(RtfReaderFormat, RaisedLoweredAndShaded) {
    QTextDocument document;
    ASSERT_EQ(ReadRtf(R"({\rtf1{\colortbl;\red255\green255\blue0;\red0\green0\blue255;}a{\up8 b}{\dn2 c}{\up d}{\up8\up0 e})"
                      R"({\chcbpat1 f}{\chcbpat1\highlight2 g}{\chcbpat1\plain h}})",
                      document),
              RtfReadStatus::Ok);
    EXPECT_EQ(FormatOf(document, "a").verticalAlignment(), QTextCharFormat::AlignNormal);
    EXPECT_EQ(FormatOf(document, "b").verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(FormatOf(document, "c").verticalAlignment(), QTextCharFormat::AlignSubScript);
    EXPECT_EQ(FormatOf(document, "d").verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(FormatOf(document, "e").verticalAlignment(), QTextCharFormat::AlignNormal);
    EXPECT_EQ(FormatOf(document, "f").background().color(), QColor(255, 255, 0));
    EXPECT_EQ(FormatOf(document, "g").background().color(), QColor(0, 0, 255));  // a highlight shows over it
    EXPECT_FALSE(FormatOf(document, "h").hasProperty(QTextFormat::BackgroundBrush));
}

TEST(RtfReaderLimits, DeepNestingIsRefusedAndLeavesTheDocument) {
    QTextDocument document;
    document.setPlainText("kept");
    const std::string deep = "{\\rtf1 x" + std::string(1000, '{') + "y" + std::string(1000, '}') + "}";
    EXPECT_EQ(ReadRtf(deep, document), RtfReadStatus::TooDeep);
    EXPECT_EQ(document.toRawText(), "kept");
}

TEST(RtfReaderLimits, NestingWithinTheLimitIsRead) {
    QTextDocument document;
    const std::string nested = "{\\rtf1 x" + std::string(400, '{') + "y" + std::string(400, '}') + "}";
    EXPECT_EQ(ReadRtf(nested, document), RtfReadStatus::Ok);
    EXPECT_EQ(document.toRawText(), "xy");
}

TEST(RtfReaderLimits, SizeAndSignature) {
    QTextDocument document;
    RtfReadLimits small;
    small.MaxBytes = 16;
    EXPECT_EQ(ReadRtf("{\\rtf1 0123456789abcdef}", document, small), RtfReadStatus::TooLarge);
    EXPECT_EQ(ReadRtf("plain text", document), RtfReadStatus::NotRtf);
    EXPECT_EQ(ReadRtf("{\\rt", document), RtfReadStatus::NotRtf);
    EXPECT_TRUE(document.isEmpty());
    EXPECT_TRUE(moratutor::rtf::LooksLikeRtf("{\\rtf"));
    EXPECT_FALSE(moratutor::rtf::LooksLikeRtf(" {\\rtf1"));
}

// The limit counts the paragraphs the document gets, whether or not the last one ends with \par.
TEST(RtfReaderLimits, ParagraphLimitCountsParagraphs) {
    struct {
        const char* rtf;
        RtfReadStatus status;
    } const cases[] = {
        {"{\\rtf1 a\\par b\\par c}", RtfReadStatus::Ok},
        {"{\\rtf1 a\\par b\\par c\\par}", RtfReadStatus::Ok},  // as it is written back
        {"{\\rtf1 a\\par b\\par c\\par d}", RtfReadStatus::TooLarge},
        {"{\\rtf1 a\\par b\\par c\\par d\\par}", RtfReadStatus::TooLarge},
        {"{\\rtf1 a\\par b\\par c\\par\\par}", RtfReadStatus::TooLarge},
        // Paragraph separators in UTF-8 text break paragraphs just the same.
        {"{\\rtf1\\ansi\\ansicpg65001 a\\'e2\\'80\\'a9b\\par c}", RtfReadStatus::Ok},
        {"{\\rtf1\\ansi\\ansicpg65001 a\\'e2\\'80\\'a9b\\par c\xe2\x80\xa9" "d}", RtfReadStatus::TooLarge},
    };
    RtfReadLimits threeParagraphs;
    threeParagraphs.MaxParagraphs = 3;
    for (const auto& c : cases) {
        QTextDocument document;
        EXPECT_EQ(ReadRtf(c.rtf, document, threeParagraphs), c.status) << c.rtf;
        EXPECT_EQ(document.blockCount(), c.status == RtfReadStatus::Ok ? 3 : 1) << c.rtf;
    }
    EXPECT_EQ(RtfReadLimits{}.MaxParagraphs, 2'000'000u);  // as the README promises
}

TEST(RtfReaderLimits, AppendsAtTheEnd) {
    QTextDocument document;
    document.setPlainText("before ");
    ASSERT_EQ(ReadRtf(R"({\rtf1 after})", document), RtfReadStatus::Ok);
    EXPECT_EQ(document.toRawText(), "before after");
}

// Documents shaped as the common word processors write them (the fuzzer's seeds).
struct SampleCase {
    const char* file;
    std::u16string text;
};

void PrintTo(const SampleCase& c, std::ostream* os) { *os << c.file; }

class RtfSampleTest : public ::testing::TestWithParam<SampleCase> {};

TEST_P(RtfSampleTest, ReadsSample) {
    QFile file(QStringLiteral(MORATUTOR_RTF_SAMPLES "/") + QString::fromLatin1(GetParam().file));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(ReadText(bytes.toStdString()), QString::fromStdU16String(GetParam().text));
}

const SampleCase kSamples[] = {
    {"wordpad.rtf", u"Привет\u2029мир underline x\tend\u2028next"},
    {"word.rtf", u"Привет あいあ\u00A0link text\u2029\u2014\u2013\u2018\u2019\u201C\u201D\u2022\u00A0\u00AD\u2011\u2029"},
    {"libreoffice.rtf", u"Привет あ\U0001F600\u2029ア"},
    {"textedit.rtf", u"Hello При\u2029あい\u2029bold"},
    {"gb.rtf", u"中文中가あ"},
};

INSTANTIATE_TEST_SUITE_P(WordProcessors, RtfSampleTest, ::testing::ValuesIn(kSamples),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

// LibreOffice gives double-byte runs their bold and size as associated properties after \dbch;
// after \rtlch they belong to right-to-left text and leave this text alone.
TEST(RtfReaderFormat, DoubleByteRunProperties) {
    QTextDocument document;
    ASSERT_EQ(ReadRtf(R"({\rtf1{\rtlch\ab\afs40 \ltrch\loch Latin}{\rtlch\ab \ltrch\dbch\ab\afs40\dbch \u12363?}"
                      R"({\loch\fs20\dbch\afs30 \u12354?\loch x}{\dbch\b\i \u12356?}})",
                      document),
              RtfReadStatus::Ok);
    const QTextCharFormat latin = FormatOf(document, "Latin");
    EXPECT_NE(latin.fontWeight(), QFont::Bold);
    EXPECT_DOUBLE_EQ(latin.fontPointSize(), 0.0);
    const QTextCharFormat ka = FormatOf(document, QString::fromUtf16(u"\u304B"));
    EXPECT_EQ(ka.fontWeight(), QFont::Bold);
    EXPECT_DOUBLE_EQ(ka.fontPointSize(), 20.0);
    EXPECT_DOUBLE_EQ(FormatOf(document, QString::fromUtf16(u"\u3042")).fontPointSize(), 15.0);
    EXPECT_DOUBLE_EQ(FormatOf(document, "x").fontPointSize(), 10.0);
    const QTextCharFormat i = FormatOf(document, QString::fromUtf16(u"\u3044"));
    EXPECT_EQ(i.fontWeight(), QFont::Bold);
    EXPECT_TRUE(i.fontItalic());
}

void ReadInteropSample(const char* name, QTextDocument& document) {
    QFile file(QStringLiteral(MORATUTOR_RTF_INTEROP "/") + QString::fromLatin1(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    ASSERT_EQ(ReadRtf(file.readAll().toStdString(), document), RtfReadStatus::Ok) << name;
}

// Files LibreOffice 7.4 and pandoc 2.17 wrote: every character and the visible formatting.
TEST(RtfReaderFormat, WrittenByOtherPrograms) {
    const auto read = ReadInteropSample;
    QTextDocument kana;
    read("libreoffice-kana-formatting.rtf", kana);
    EXPECT_EQ(kana.toRawText(), QString::fromUtf16(u"plain かな Кир\u2029bold かなカナ Жир ital ひら Кур big あ Б"));
    for (const char16_t* bold : {u"bold", u"かなカナ", u"Жир"}) {
        EXPECT_EQ(FormatOf(kana, QString::fromUtf16(bold)).fontWeight(), QFont::Bold);
    }
    for (const char16_t* italic : {u"ital", u"ひら", u"Кур"}) {
        EXPECT_TRUE(FormatOf(kana, QString::fromUtf16(italic)).fontItalic());
    }
    for (const char16_t* big : {u"big", u"あ", u"Б"}) {
        const QTextCharFormat format = FormatOf(kana, QString::fromUtf16(big));
        EXPECT_DOUBLE_EQ(format.fontPointSize(), 20.0);
        EXPECT_EQ(format.foreground().color(), QColor(0, 0, 255));
    }
    EXPECT_NE(FormatOf(kana, QString::fromUtf16(u"かな")).fontWeight(), QFont::Bold);

    QTextDocument mixed;
    read("libreoffice-mixed-scripts.rtf", mixed);
    const QString text = mixed.toRawText();
    for (const char16_t* part :
         {u"Съешь же ещё этих мягких французских булок, да выпей чаю. ЁЖЫК ёжик\u2029",
          u"ひらがな あいうえお かきくけこ ゃゅょっ カタカナ アイウエオ ヴァ ヶ ー\u2029",
          u"ideographic\u3000space\u3000here 日本語 漢字", u"astral: \U0001F600 \U00020B9F \U0001D11E end",
          u"high BMP: \u7FFF \u8000 \uFF21\uFF41 \uFFE5 \uFB01 éüß €",
          u"escapes: back\\slash {braces} }{ \\par \\u1234? \\'e9 tab", u"\u00A0nbsp"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf16(part))) << QString::fromUtf16(part).toStdString();
    }
    EXPECT_TRUE(text.endsWith(QString::fromUtf16(u"\u2029centered センター")));
    EXPECT_EQ(FormatOf(mixed, QString::fromUtf16(u"かなБИ")).fontWeight(), QFont::Bold);
    EXPECT_TRUE(FormatOf(mixed, QString::fromUtf16(u"ヒラ")).fontUnderline());
    EXPECT_EQ(FormatOf(mixed, QString::fromUtf16(u"красный")).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(mixed.lastBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);

    QTextDocument pandoc;
    read("pandoc.rtf", pandoc);
    EXPECT_EQ(pandoc.toRawText(), QString::fromUtf16(u"Кириллица жирный курсив ひらがな カタカナ\u3000 \U0001F600 \U00020B9F "
                                                     u"\u7FFF \u8000 \\ {x}\u2029второй абзац"));
    EXPECT_EQ(FormatOf(pandoc, QString::fromUtf16(u"жирный")).fontWeight(), QFont::Bold);
    EXPECT_TRUE(FormatOf(pandoc, QString::fromUtf16(u"курсив")).fontItalic());
}

// LibreOffice 7.4 from HTML and from pandoc's ODT: headings, lists, a table with an empty
// cell, superscript, subscript and a background.
TEST(RtfReaderFormat, LibreOfficeHeadingsTablesAndShifts) {
    QTextDocument lists;
    ReadInteropSample("libreoffice-headings-lists.rtf", lists);
    EXPECT_EQ(lists.toRawText(), QString::fromUtf16(u"Заголовок\u2029Текст абзаца.\u2029Подзаголовок\u2029"
                                                    u" 1.\tпервый\u2029 2.\tвторой\u2029\u2022\tточка"));

    QTextDocument table;
    ReadInteropSample("libreoffice-table-shifts.rtf", table);
    EXPECT_EQ(table.toRawText(), QString::fromUtf16(u"Заголовок один\u2029Текст E=mc2 и H2O, выделено конец.\u2029"
                                                    u"Второй заголовок\u2029а1\tб1\tв1\u2029а2\t\tв2\u2029После таблицы."));
    EXPECT_EQ(FormatOf(table, QString::fromUtf16(u"2 и")).verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(FormatOf(table, "2O").verticalAlignment(), QTextCharFormat::AlignSubScript);
    EXPECT_EQ(FormatOf(table, "O,").verticalAlignment(), QTextCharFormat::AlignNormal);
    EXPECT_EQ(FormatOf(table, QString::fromUtf16(u"выделено")).background().color(), QColor(255, 255, 0));
    EXPECT_FALSE(FormatOf(table, QString::fromUtf16(u" конец")).hasProperty(QTextFormat::BackgroundBrush));
}

TEST(RtfReaderFormat, WordPadSample) {
    QFile file(QStringLiteral(MORATUTOR_RTF_SAMPLES "/wordpad.rtf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QTextDocument document;
    ASSERT_EQ(ReadRtf(file.readAll().toStdString(), document), RtfReadStatus::Ok);
    const QTextCharFormat title = FormatOf(document, QString::fromUtf16(u"Привет"));
    EXPECT_EQ(title.fontWeight(), QFont::Bold);
    EXPECT_DOUBLE_EQ(title.fontPointSize(), 14.0);
    EXPECT_EQ(title.fontFamilies().toStringList(), QStringList{"Calibri"});
    EXPECT_EQ(document.begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    const QTextCharFormat red = FormatOf(document, QString::fromUtf16(u"мир"));
    EXPECT_TRUE(red.fontItalic());
    EXPECT_EQ(red.foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(document.begin().next().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

}  // namespace

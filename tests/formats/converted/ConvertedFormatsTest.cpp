// The source's formatting carried through a conversion: run boundaries inside and beside
// replaced syllables, paragraph formats, and the text left exactly the pass's output.
#include "GuiEnvironment.h"

#include "moratutor/converted/ConvertedFormats.h"

#include "moratutor/ConversionKey.h"
#include "moratutor/Engine.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace moratutor;

enum Look : char { N = 'n', B = 'b', I = 'i', Up = '^', Down = '_' };

QTextCharFormat FormatOf(Look look) {
    QTextCharFormat format;
    if (look == B) format.setFontWeight(QFont::Bold);
    if (look == I) format.setFontItalic(true);
    if (look == Up) format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    if (look == Down) format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    return format;
}

Look LookOf(const QTextCharFormat& format) {
    if (format.fontWeight() == QFont::Bold) return B;
    if (format.fontItalic()) return I;
    if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript) return Up;
    if (format.verticalAlignment() == QTextCharFormat::AlignSubScript) return Down;
    return N;
}

struct Piece {
    const char16_t* text;
    Look look;
};

struct Converted {
    std::u16string text;
    std::unique_ptr<QTextDocument> document;
};

// Converts the document's text with every group, in hiragana, and builds the result.
Converted Convert(const QTextDocument& source) {
    std::u16string text = source.toRawText().toStdU16String();
    for (char16_t& c : text)
        if (c == u'\u2029' || c == u'\uFDD0' || c == u'\uFDD1') c = u'\n';
    OptionSet options;
    options.Characters.fill(true);
    StepEnvironment env;
    AnswerKey key;
    ReplaceWithKanaUnicode(env, options, text, key);
    converted::SourceFormats formats = converted::TakeFormats(source);
    converted::MapToConverted(formats, key);
    auto document = std::make_unique<QTextDocument>();
    converted::FillFormatted(*document, text, formats);
    return {std::move(text), std::move(document)};
}

// One look per UTF-16 unit of the paragraph.
std::string Looks(const QTextBlock& block) {
    std::string looks;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        looks.append(static_cast<std::size_t>(it.fragment().length()), LookOf(it.fragment().charFormat()));
    return looks;
}

struct RunCase {
    const char* name;
    std::vector<Piece> runs;
    std::u16string converted;
    std::string looks;
};

class ReplacedSyllableFormat : public ::testing::TestWithParam<RunCase> {};

TEST_P(ReplacedSyllableFormat, TakesTheFormatOfItsFirstLetter) {
    QTextDocument source;
    QTextCursor cursor(&source);
    for (const Piece& run : GetParam().runs) cursor.insertText(QString::fromUtf16(run.text), FormatOf(run.look));
    const Converted result = Convert(source);
    EXPECT_EQ(result.text, GetParam().converted);
    EXPECT_EQ(result.document->toRawText().toStdU16String(), result.text);
    EXPECT_EQ(Looks(result.document->begin()), GetParam().looks);
}

const RunCase kRunCases[] = {
    {"BoldFromTheSecondLetterOfASyllable", {{u"м", N}, {u"ака", B}}, u"まか", "nb"},
    {"BoldEndsInsideASyllable", {{u"мак", B}, {u"а", N}}, u"まか", "bb"},
    {"BoldEndsAtASyllableEnd", {{u"ма", B}, {u"ка", N}}, u"まか", "bn"},
    {"ItalicSyllableBeforeKeptLetters", {{u"ко", I}, {u"т", N}}, u"こт", "in"},
    {"SuperscriptSyllable", {{u"x", N}, {u"ка", Up}}, u"xか", "n^"},
    {"SubscriptSyllableBetweenLatin", {{u"H", N}, {u"ма", Down}, {u"O", N}}, u"HまO", "n_n"},
    {"UnreplacedTextKeepsItsRuns", {{u"xy", B}, {u"z", I}}, u"xyz", "bbi"},
};
INSTANTIATE_TEST_SUITE_P(Cases, ReplacedSyllableFormat, ::testing::ValuesIn(kRunCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertedFormats, ParagraphsKeepTheirFormatsAfterTextThatShrank) {
    QTextDocument source;
    QTextCursor cursor(&source);
    QTextBlockFormat heading;
    heading.setHeadingLevel(1);
    heading.setAlignment(Qt::AlignHCenter);
    cursor.setBlockFormat(heading);
    cursor.insertText(QStringLiteral("Мама мыла раму"), FormatOf(B));
    QTextBlockFormat indented;
    indented.setLeftMargin(24);
    indented.setTopMargin(6);
    cursor.insertBlock(indented, FormatOf(N));
    cursor.insertText(QStringLiteral("кака"), FormatOf(N));
    cursor.insertText(QStringLiteral("ко"), FormatOf(I));
    cursor.insertBlock(QTextBlockFormat(), FormatOf(N));

    const Converted result = Convert(source);
    ASSERT_EQ(result.document->blockCount(), 3);
    const QTextBlock first = result.document->begin(), second = first.next(), third = second.next();
    EXPECT_EQ(first.blockFormat().headingLevel(), 1);
    EXPECT_EQ(first.blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_EQ(second.blockFormat().headingLevel(), 0);
    EXPECT_EQ(second.blockFormat().leftMargin(), 24);
    EXPECT_EQ(second.blockFormat().topMargin(), 6);
    EXPECT_EQ(second.text(), QStringLiteral("かかこ"));
    EXPECT_EQ(Looks(second), "nni");
    EXPECT_EQ(Looks(first).substr(0, 3), "bbb");
    EXPECT_TRUE(third.text().isEmpty());
    EXPECT_EQ(result.document->toRawText().replace(QChar::ParagraphSeparator, u'\n').toStdU16String(), result.text);
}

// A paragraph of the source: its runs, the format of its mark (the paragraph break before
// it) and whether it is indented.
struct Para {
    std::vector<Piece> runs;
    Look mark = N;
    bool indented = false;
};

struct ParagraphCase {
    const char* name;
    std::vector<Para> paragraphs;
};

void PrintTo(const ParagraphCase& c, std::ostream* out) { *out << c.name; }

class ParagraphBreaks : public ::testing::TestWithParam<ParagraphCase> {};

// Text the pass leaves alone (Latin), so the result must be the source over again: every
// paragraph with its format and its mark's, every unit with its look, whether the writer
// joins paragraphs into one insertion or not.
TEST_P(ParagraphBreaks, KeepEveryParagraphAndMarkFormat) {
    QTextDocument source;
    QTextCursor cursor(&source);
    QTextBlockFormat indented;
    indented.setLeftMargin(24);
    for (std::size_t p = 0; p < GetParam().paragraphs.size(); ++p) {
        const Para& para = GetParam().paragraphs[p];
        if (p == 0) {
            cursor.setBlockFormat(para.indented ? indented : QTextBlockFormat());
            cursor.setBlockCharFormat(FormatOf(para.mark));
        } else {
            cursor.insertBlock(para.indented ? indented : QTextBlockFormat(), FormatOf(para.mark));
        }
        for (const Piece& run : para.runs) cursor.insertText(QString::fromUtf16(run.text), FormatOf(run.look));
    }
    const Converted result = Convert(source);
    ASSERT_EQ(result.document->blockCount(), source.blockCount());
    for (QTextBlock want = source.begin(), got = result.document->begin(); want.isValid(); want = want.next(), got = got.next()) {
        SCOPED_TRACE(want.blockNumber());
        EXPECT_EQ(got.text(), want.text());
        EXPECT_EQ(got.blockFormat().leftMargin(), want.blockFormat().leftMargin());
        EXPECT_EQ(LookOf(got.charFormat()), LookOf(want.charFormat()));
        EXPECT_EQ(Looks(got), Looks(want));
    }
}

const ParagraphCase kParagraphCases[] = {
    {"PlainLinesInOneFormat", {{{{u"ab", N}}}, {{{u"cd", N}}}, {{{u"ef", N}}}}},
    {"MarkInAnotherFormatThanTheText", {{{{u"ab", N}}}, {{{u"cd", N}}, B}, {{{u"ef", N}}}}},
    {"ParagraphFormatChanges", {{{{u"ab", N}}}, {{{u"cd", N}}, N, true}, {{{u"ef", N}}, N, true}, {{{u"gh", N}}}}},
    {"EmptyParagraphsBetween", {{{{u"ab", N}}}, {{}, N}, {{}, B}, {{}, N}, {{{u"cd", N}}}}},
    {"BoldAcrossAParagraphEnd", {{{{u"ab", N}, {u"cd", B}}}, {{{u"ef", B}, {u"gh", N}}, B}}},
    {"FirstParagraphEmptyAndItsMarkBold", {{{}, B}, {{{u"ab", B}}, B}, {{{u"cd", N}}, N}}},
    {"ItalicParagraphAfterBoldMark", {{{{u"ab", B}}}, {{{u"cd", I}}, B}, {{{u"ef", I}}, I}}},
};
INSTANTIATE_TEST_SUITE_P(Cases, ParagraphBreaks, ::testing::ValuesIn(kParagraphCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertedFormats, ReplacedSyllablesOnLinesThatGoOnInOneFormat) {
    QTextDocument source;
    QTextCursor cursor(&source);
    cursor.insertText(QStringLiteral("мама\nкака\n"), FormatOf(I));
    cursor.insertText(QStringLiteral("ко"), FormatOf(B));
    const Converted result = Convert(source);
    EXPECT_EQ(result.text, u"まま\nかか\nこ");
    ASSERT_EQ(result.document->blockCount(), 3);
    EXPECT_EQ(Looks(result.document->begin()), "ii");
    EXPECT_EQ(Looks(result.document->begin().next()), "ii");
    EXPECT_EQ(LookOf(result.document->begin().next().charFormat()), I);
    EXPECT_EQ(Looks(result.document->lastBlock()), "b");
}

struct MisplacedCase {
    const char* name;
    std::u16string text;
    std::vector<std::uint32_t> starts;  // the paragraphs' starts
};

void PrintTo(const MisplacedCase& c, std::ostream* out) { *out << c.name; }

class MisplacedParagraphs : public ::testing::TestWithParam<MisplacedCase> {};

// Formats whose paragraphs do not stand after the text's line breaks never change the text:
// the result is the text with a paragraph at each "\n", as a plain text would be.
TEST_P(MisplacedParagraphs, LeaveTheTextAsItIs) {
    converted::SourceFormats formats;
    formats.Formats = {QTextBlockFormat(), FormatOf(B)};
    for (std::uint32_t start : GetParam().starts) formats.Paragraphs.push_back({start, 0, 1});
    formats.Runs = {{0, 1}};
    QTextDocument document;
    converted::FillFormatted(document, GetParam().text, formats);
    EXPECT_EQ(document.toRawText().replace(QChar::ParagraphSeparator, u'\n').toStdU16String(), GetParam().text);
    EXPECT_EQ(document.blockCount(), 1 + std::count(GetParam().text.begin(), GetParam().text.end(), u'\n'));
}

const MisplacedCase kMisplacedCases[] = {
    {"WhereTheyBelong", u"аб\nвг", {0, 3}},
    {"InsideAWord", u"абвгд", {0, 3}},
    {"OneUnitLate", u"аб\nвг", {0, 4}},
    {"PastTheEnd", u"аб\nвг", {0, 3, 9}},
    {"TwoAtOnePlace", u"аб\nвг", {0, 3, 3}},
    {"OneBreakTooFew", u"аб\nвг\nд", {0, 3}},
};
INSTANTIATE_TEST_SUITE_P(Cases, MisplacedParagraphs, ::testing::ValuesIn(kMisplacedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertedFormats, PlainTextIsPlain) {
    QTextDocument source;
    source.setPlainText(QStringLiteral("мама\nпапа"));
    EXPECT_TRUE(converted::TakeFormats(source).Plain());
    QTextCursor(&source).insertText(QStringLiteral("ка"), FormatOf(B));
    EXPECT_FALSE(converted::TakeFormats(source).Plain());
}

TEST(ConvertedFormats, ATableIsFlattenedOrKeptAsTextButNeverChangesTheText) {
    QTextDocument source;
    QTextCursor cursor(&source);
    cursor.insertText(QStringLiteral("мама"), FormatOf(B));
    cursor.insertTable(2, 2);
    cursor.insertText(QStringLiteral("ка"));
    const Converted result = Convert(source);
    QString raw = result.document->toRawText();
    for (QChar& c : raw)
        if (c == QChar::ParagraphSeparator || c == QChar(0xFDD0) || c == QChar(0xFDD1)) c = u'\n';
    EXPECT_EQ(raw.toStdU16String(), result.text);
}

}  // namespace

// The RTF the converted pane writes, and reading it back.
#include "GuiEnvironment.h"
#include "moratutor/rtf/RtfReader.h"
#include "moratutor/rtf/RtfWriter.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

#include <gtest/gtest.h>

#include <regex>
#include "QtPrinters.h"

#include <string>

using moratutor::rtf::ReadRtf;
using moratutor::rtf::RtfReadStatus;
using moratutor::rtf::WriteRtf;

namespace {

bool IsSevenBit(const std::string& bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) > 0x7E && c != '\r' && c != '\n') return false;
    }
    return true;
}

QString RoundTrip(const QString& text) {
    QTextDocument source;
    source.setPlainText(text);
    const std::string rtf = WriteRtf(source);
    EXPECT_TRUE(IsSevenBit(rtf));
    QTextDocument back;
    EXPECT_EQ(ReadRtf(rtf, back), RtfReadStatus::Ok);
    return back.toRawText();
}

TEST(RtfRoundTrip, KeepsEveryCharacter) {
    const char16_t* texts[] = {
        u"Привет, мир! Съешь же ещё этих мягких французских булок.",
        u"あいうえお かきくけこ アイウエオ ヴ ー",
        u"かな\u3000и\u3000пробелы",
        u"\U0001F600 \U0002000B \U00010348",
        u"back\\slash {braces} and\ttab",
        u"line\u2028break and\u00A0nbsp \u00AD soft",
        u"first paragraph\u2029second\u2029\u2029after an empty one",
        u"ends with an empty paragraph\u2029",
        u"\u2029",
        u"\uFF21\uFFFD\u7FFF\u8000\uE000",  // around the signed 16-bit boundary
        u"",
    };
    for (const char16_t* text : texts) {
        const QString expected = QString::fromStdU16String(text);
        EXPECT_EQ(RoundTrip(expected), expected) << expected.toStdString();
    }
}

TEST(RtfRoundTrip, WritesSignedUnicodeAndEscapes) {
    QTextDocument source;
    source.setPlainText(QString::fromStdU16String(u"あ\u3000\uFF21\U0001F600\\{}Я"));
    const std::string rtf = WriteRtf(source);
    EXPECT_NE(rtf.find("\\u12354 ?"), std::string::npos);
    EXPECT_NE(rtf.find("\\u12288 ?"), std::string::npos);
    EXPECT_NE(rtf.find("\\u-223 ?"), std::string::npos);            // U+FF21 is above 32767
    EXPECT_NE(rtf.find("\\u-10179 ?\\u-8704 ?"), std::string::npos);  // U+1F600 as its pair
    EXPECT_NE(rtf.find("\\\\\\{\\}"), std::string::npos);
    EXPECT_NE(rtf.find("\\u1071 ?"), std::string::npos);
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
    EXPECT_NE(rtf.find("\\fcharset128 IPAGothic"), std::string::npos);
}

// Word processors pick a face per script: Cyrillic must come in the pane's face (in the
// Japanese one it shows full-width, letter-spaced), kana in the Japanese face.
TEST(RtfRoundTrip, NamesAFacePerScript) {
    QTextDocument source;
    source.setDefaultFont(QFont(QStringList{"DejaVu Serif", "IPAGothic"}, 10));
    source.setPlainText(QString::fromUtf16(u"Обычный かな"));
    const std::string rtf = WriteRtf(source);

    std::smatch western;
    std::smatch kana;
    ASSERT_TRUE(std::regex_search(rtf, western, std::regex(R"(\{\\f(\d+)\\fnil\\fcharset204 DejaVu Serif;\})"))) << rtf;
    ASSERT_TRUE(std::regex_search(rtf, kana, std::regex(R"(\{\\f(\d+)\\fnil\\fcharset128 IPAGothic)"))) << rtf;
    const std::string w = western[1];
    EXPECT_NE(rtf.find("\\deff" + w), std::string::npos);
    EXPECT_NE(rtf.find("{\\hich\\af" + w + "\\dbch\\af" + kana.str(1) + "\\loch\\f" + w + "\\fs20 "), std::string::npos)
        << rtf;

    QTextDocument back;
    ASSERT_EQ(ReadRtf(rtf, back), RtfReadStatus::Ok);
    QTextCursor at(&back);
    at.setPosition(1);
    EXPECT_EQ(at.charFormat().fontFamilies().toStringList(), QStringList{"DejaVu Serif"});
}

// A pane shown in the Japanese face still gets its Cyrillic written in a Cyrillic one.
TEST(RtfRoundTrip, NeverNamesTheJapaneseFaceForCyrillic) {
    QTextDocument source;
    source.setDefaultFont(QFont(QStringList{"IPAGothic"}, 10));
    source.setPlainText(QString::fromUtf16(u"Обычный"));
    EXPECT_NE(WriteRtf(source).find("{\\f0\\fnil\\fcharset204 Times New Roman;}"), std::string::npos);
}

TEST(RtfRoundTrip, KeepsFormatting) {
    QTextDocument source;
    QTextCursor cursor(&source);
    QTextCharFormat plain;
    QTextCharFormat rich;
    rich.setFontWeight(QFont::Bold);
    rich.setFontItalic(true);
    rich.setFontUnderline(true);
    rich.setFontStrikeOut(true);
    rich.setFontFamilies(QStringList{"DejaVu Serif"});
    rich.setFontPointSize(17);
    rich.setForeground(QColor(10, 20, 30));
    cursor.insertText("plain ", plain);
    cursor.insertText(QString::fromStdU16String(u"かな"), rich);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    cursor.insertBlock(centred);
    cursor.insertText("centred", plain);

    QTextDocument back;
    ASSERT_EQ(ReadRtf(WriteRtf(source), back), RtfReadStatus::Ok);
    ASSERT_EQ(back.toRawText(), source.toRawText());

    QTextCursor at(&back);
    at.setPosition(8);  // inside the kana
    const QTextCharFormat read = at.charFormat();
    EXPECT_EQ(read.fontWeight(), QFont::Bold);
    EXPECT_TRUE(read.fontItalic());
    EXPECT_TRUE(read.fontUnderline());
    EXPECT_TRUE(read.fontStrikeOut());
    EXPECT_EQ(read.fontFamilies().toStringList(), QStringList{"DejaVu Serif"});
    EXPECT_DOUBLE_EQ(read.fontPointSize(), 17.0);
    EXPECT_EQ(read.foreground().color(), QColor(10, 20, 30));

    at.setPosition(3);
    EXPECT_NE(at.charFormat().fontWeight(), QFont::Bold);
    EXPECT_FALSE(at.charFormat().fontUnderline());
    EXPECT_EQ(back.begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    EXPECT_EQ(back.lastBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

// Inputs the fuzzer once found troublesome: each must be read without harm and survive
// a trip through the writer.
TEST(RtfRegressions, FuzzerFindings) {
    const QDir folder(QStringLiteral(MORATUTOR_RTF_REGRESSIONS));
    const QStringList files = folder.entryList(QDir::Files);
    for (const QString& name : files) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray data = file.readAll();
        std::string bytes = data.startsWith("{\\rtf") ? std::string() : std::string("{\\rtf1");
        bytes.append(data.constData(), static_cast<std::size_t>(data.size()));
        QTextDocument first;
        const RtfReadStatus status = ReadRtf(bytes, first);
        if (status != RtfReadStatus::Ok) continue;
        QTextDocument second;
        const std::string written = WriteRtf(first);
        EXPECT_TRUE(IsSevenBit(written)) << name.toStdString();
        ASSERT_EQ(ReadRtf(written, second), RtfReadStatus::Ok) << name.toStdString();
        EXPECT_EQ(second.toRawText(), first.toRawText()) << name.toStdString();
    }
}

}  // namespace

// Resource lines, the file version and the format of the shipped haiku collection.
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <stdexcept>

#include "UMostUsed.h"

using namespace moratutor;

namespace {

// Built at run time from a value the compiler cannot see, so this test's own executable
// never holds a version block (one test relies on that).
volatile std::uint32_t gNoFold = 0;

void AppendWord(QByteArray& bytes, std::uint32_t word) {
    for (int i = 0; i < 4; ++i)
        bytes.append(static_cast<char>((word >> (8 * i)) & 0xFF));
}

QByteArray VersionBlock(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d) {
    QByteArray block;
    AppendWord(block, 0x0110FB42u ^ ~gNoFold);  // signature 0xFEEF04BD
    AppendWord(block, 0x00010000u ^ gNoFold);   // record version
    const std::uint32_t ms = (std::uint32_t{a} << 16) | b;
    const std::uint32_t ls = (std::uint32_t{c} << 16) | d;
    for (const std::uint32_t word : {ms, ls, ms, ls, 0x3Fu, 0u, 0u, 1u, 0u, 0u, 0u})
        AppendWord(block, word ^ gNoFold);
    return block;
}

class TempFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString Write(const char* name, const QByteArray& bytes) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
};

using VersionTest = TempFiles;

TEST_F(VersionTest, FilesWithAndWithoutVersionInformation) {
    const QByteArray filler(1001, 'x');  // an odd length puts the block off any alignment
    const QByteArray header = VersionBlock(1, 2, 19, 137).left(8);
    struct Case {
        const char* name;
        QByteArray bytes;
        QString expected;
    };
    const Case cases[] = {
        {"empty", QByteArray(), QString()},
        {"plain", QByteArray("just some text\r\n"), QString()},
        {"block", filler + VersionBlock(1, 2, 19, 137) + filler, QStringLiteral("1.2.19.137")},
        {"block-at-start", VersionBlock(3, 0, 0, 7), QStringLiteral("3.0.0.7")},
        {"largest", filler + VersionBlock(65535, 0, 7, 4096), QStringLiteral("65535.0.7.4096")},
        // The first whole block counts; a header cut short by the end of the file does not.
        {"two-blocks", VersionBlock(2, 0, 0, 1) + VersionBlock(9, 9, 9, 9), QStringLiteral("2.0.0.1")},
        // Files are read in pieces of 1 MiB: a block across the boundary is still one block.
        {"across-pieces", QByteArray((1 << 20) - 20, 'y') + VersionBlock(1, 2, 19, 137), QStringLiteral("1.2.19.137")},
        {"after-first-piece", QByteArray((1 << 20) + 5, 'y') + VersionBlock(5, 4, 3, 2), QStringLiteral("5.4.3.2")},
        {"cut-short", filler + VersionBlock(1, 2, 19, 137).left(51), QString()},
        // The signature alone, without the record version after it, is no block.
        {"signature-only", filler + header.left(4) + QByteArray(60, '\0'), QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetFileVersionString(Write(c.name, c.bytes)), c.expected) << c.name;
}

TEST_F(VersionTest, MissingFileAndFolderGiveEmptyText) {
    EXPECT_EQ(GetFileVersionString(dir.filePath(QStringLiteral("no-such-file"))), QString());
    EXPECT_EQ(GetFileVersionString(dir.path()), QString());
    EXPECT_EQ(GetFileVersionString(QString()), QString());
}

TEST(ProgramVersion, TheBuiltProgramCarriesItsVersion) {
    EXPECT_EQ(GetFileVersionString(QStringLiteral(MORATUTOR_PROGRAM_FILE)), QStringLiteral("1.2.19.137"));
}

TEST(ProgramVersion, TheSearchingCodeDoesNotFindItself) {
    // This executable holds GetFileVersionString but no version block.
    EXPECT_EQ(GetFileVersionString(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))), QString());
    EXPECT_TRUE(QFile::exists(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))));
}

struct LinesCase {
    const char* resource;
    QStringList expected;
};

TEST(LoadStringsFromResource, SplitsAtCrLfCrLfAndNul) {
    const LinesCase cases[] = {
        {"test/crlf_end", {"a", "b"}},  // a final CR LF adds no entry
        {"test/no_end", {"a", "b"}},
        {"test/mixed", {"a", "b", "c", "", "d"}},
        {"test/lf_cr", {"a", "", "b"}},  // LF CR is two line ends
        {"test/nul", {"a", "b"}},        // NUL ends the text
        {"test/nul_first", {}},
        {"test/empty", {}},
        {"test/only_crlf", {""}},
        {"test/trailing_cr", {"a"}},
        {"test/cp1251", {QStringLiteral("Привет|мир «ёж» — …"), QStringLiteral("Ёлка")}},
    };
    for (const LinesCase& c : cases) {
        QStringList list{QStringLiteral("left over")};
        LoadStringsFromResource(list, QString::fromLatin1(c.resource));
        EXPECT_EQ(list, c.expected) << c.resource;
    }
}

TEST(LoadStringsFromResource, MissingResourceIsAnErrorAndKeepsTheList) {
    QStringList list{QStringLiteral("kept")};
    EXPECT_THROW(LoadStringsFromResource(list, QStringLiteral("NO_SUCH_RESOURCE")), std::runtime_error);
    EXPECT_EQ(list, QStringList{QStringLiteral("kept")});
}

TEST(IsCtrlKeyDown, FalseWithoutAnApplication) { EXPECT_FALSE(IsCtrlKeyDown()); }

// The collection as shipped, byte by byte.
TEST(HaikuCollection, EveryLineHasTheShippedFormat) {
    QFile file(QStringLiteral(MORATUTOR_HAIKU_FILE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();

    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF")) << "no byte-order mark";
    EXPECT_FALSE(bytes.endsWith('\n')) << "no line end after the last line";
    EXPECT_FALSE(bytes.endsWith('\r'));
    EXPECT_EQ(bytes.indexOf('\0'), -1);
    // Every CR is followed by LF, every LF preceded by CR.
    EXPECT_EQ(bytes.count('\r'), bytes.count("\r\n"));
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));

    QStringDecoder decoder("windows-1251");
    ASSERT_TRUE(decoder.isValid());
    const QString text = decoder.decode(bytes);
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    EXPECT_GE(lines.size(), 100);

    // Cyrillic letters, spaces and the punctuation of the collection; nothing else.
    const QRegularExpression verseChars(QStringLiteral("^[А-Яа-яЁё ,.!?:\\-—«»…]+$"));
    QSet<QString> seen;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const QString where = QStringLiteral("line %1: %2").arg(i + 1).arg(line);
        EXPECT_FALSE(seen.contains(line)) << where.toStdString() << " (twice)";
        seen.insert(line);
        EXPECT_LE(line.size(), 80) << where.toStdString();
        const QStringList verses = line.split(u'|');
        ASSERT_EQ(verses.size(), 3) << where.toStdString();
        for (const QString& verse : verses) {
            EXPECT_GE(verse.size(), 5) << where.toStdString();
            EXPECT_EQ(verse, verse.trimmed()) << where.toStdString() << " (space beside |)";
            EXPECT_TRUE(verseChars.match(verse).hasMatch()) << where.toStdString();
        }
        EXPECT_TRUE(verses[2].back().isPunct()) << where.toStdString() << " (last verse ends in punctuation)";
    }
}

}  // namespace

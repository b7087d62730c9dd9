// The INI file service: lookup, in-place writes, the lines it must not touch, saving.
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <stdexcept>
#include <string>

#include "IniFile.h"

using moratutor::IniFile;
using moratutor::ParseIniFlag;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QString PathOf(const QString& name) const { return dir_.filePath(name); }

    QString WriteFile(const QByteArray& bytes, const QString& name = QStringLiteral("user.ini")) const {
        const QString path = PathOf(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    static QByteArray ReadBytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    QStringList Entries() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir_;
};

std::string Str(const QByteArray& bytes) { return bytes.toStdString(); }

// ---- reading ----

struct ReadCase {
    const char* what;
    QByteArray file;
    const char* section;
    const char* key;
    const char* expected;  // nullptr: the default
};

TEST_F(IniFileTest, ReadsNamesWithoutRegardToCaseAndTrimmed) {
    const ReadCase cases[] = {
        {"plain", "[Main]\nWordWrap=0\n", "Main", "WordWrap", "0"},
        {"section case", "[mAIN]\nWordWrap=0\n", "Main", "WordWrap", "0"},
        {"key case", "[Main]\nWORDWRAP=0\n", "Main", "wordwrap", "0"},
        {"blanks around names and value", "  [ Main ]  \n\t WordWrap \t=  0 x \t\n", "Main", "WordWrap", "0 x"},
        {"empty value", "[Main]\nWordWrap=\n", "Main", "WordWrap", ""},
        {"first key wins", "[Main]\nA=1\na=2\n", "Main", "A", "1"},
        {"first section wins", "[Main]\nB=1\n[Main]\nA=2\n", "Main", "A", nullptr},
        {"key of another section", "[Other]\nA=1\n[Main]\nB=2\n", "Main", "A", nullptr},
        {"key before any section", "A=1\n[Main]\nB=2\n", "Main", "A", nullptr},
        {"comment is no key", "[Main]\n;A=1\n#A=2\n", "Main", "A", nullptr},
        {"missing section", "[Other]\nA=1\n", "Main", "A", nullptr},
        {"value holds =", "[Main]\nA=b=c\n", "Main", "A", "b=c"},
        {"CR LF", "[Main]\r\nA=1\r\n", "Main", "A", "1"},
        {"no final line end", "[Main]\nA=7", "Main", "A", "7"},
        {"byte-order mark", "\xEF\xBB\xBF[Main]\nA=1\n", "Main", "A", "1"},
        {"key 12 is not key 1", "[Characters]\n12=1\n", "Characters", "1", nullptr},
        {"Windows-1251 section", "[\xCE\xEF\xF6\xE8\xE8]\nA=1\n", "\xD0\xBE\xD0\xBF\xD1\x86\xD0\xB8\xD0\xB8", "A", "1"},
        {"UTF-8 section", "[\xD0\x9E\xD0\xBF\xD1\x86\xD0\xB8\xD0\xB8]\nA=1\n", "\xD0\xBE\xD0\xBF\xD1\x86\xD0\xB8\xD0\xB8", "A", "1"},
    };
    for (const ReadCase& c : cases) {
        const IniFile ini(WriteFile(c.file));
        const QString got = ini.ReadString(QString::fromUtf8(c.section), QString::fromUtf8(c.key), QStringLiteral("<default>"));
        EXPECT_EQ(got.toStdString(), c.expected ? c.expected : "<default>") << c.what;
        EXPECT_FALSE(ini.ReadFailed()) << c.what;
    }
}

TEST_F(IniFileTest, ReadsAValueInOnePairOfQuotesWithoutThem) {
    const QByteArray file =
        "[Advanced]\nSnowball=\"1\"\nReplaceE='1'\nReplaceSpaces=\"0\"\nA=\"1'\nB=\"\"1\"\"\nC=\"\n";
    const IniFile ini(WriteFile(file));
    const QString advanced = QStringLiteral("Advanced");
    EXPECT_TRUE(ini.ReadBool(advanced, QStringLiteral("Snowball"), false));
    EXPECT_TRUE(ini.ReadBool(advanced, QStringLiteral("ReplaceE"), false));
    EXPECT_FALSE(ini.ReadBool(advanced, QStringLiteral("ReplaceSpaces"), true));
    EXPECT_EQ(ini.ReadString(advanced, QStringLiteral("A"), {}), QStringLiteral("\"1'"));
    EXPECT_EQ(ini.ReadString(advanced, QStringLiteral("B"), {}), QStringLiteral("\"1\""));
    EXPECT_EQ(ini.ReadString(advanced, QStringLiteral("C"), {}), QStringLiteral("\""));
}

TEST_F(IniFileTest, ReadsAndWritesUtf16InItsOwnByteOrder) {
    struct Utf16Case {
        const char* what;
        QByteArray before;  // UTF-8, written in UTF-16 with the mark
        QByteArray after;
        bool bigEndian;
    };
    const Utf16Case cases[] = {
        {"little-endian, CR LF", "[Main]\r\nA=0\r\n; \xD0\xAF\r\n", "[Main]\r\nA=1\r\nB=1\r\n; \xD0\xAF\r\n", false},
        {"big-endian, LF", "[Main]\nA=0\n", "[Main]\nA=1\nB=1\n", true},
    };
    const auto utf16 = [](const QByteArray& utf8, bool bigEndian) {
        QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
        for (const QChar c : QString::fromUtf8(utf8)) {
            const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
            bytes.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
        }
        return bytes;
    };
    for (const Utf16Case& c : cases) {
        const QString path = WriteFile(utf16(c.before, c.bigEndian));
        IniFile ini(path);
        EXPECT_FALSE(ini.ReadFailed()) << c.what;
        EXPECT_FALSE(ini.ReadBool(QStringLiteral("main"), QStringLiteral("a"), true)) << c.what;
        ini.WriteBool(QStringLiteral("Main"), QStringLiteral("A"), true);
        ini.WriteBool(QStringLiteral("Main"), QStringLiteral("B"), true);
        ASSERT_TRUE(ini.Save()) << c.what;
        EXPECT_EQ(Str(ReadBytes(path).toHex(' ')), Str(utf16(c.after, c.bigEndian).toHex(' '))) << c.what;
    }
}

TEST_F(IniFileTest, AFileItCannotMakeSenseOfIsNeverWritten) {
    const QByteArray cases[] = {
        QByteArray("\xFF\xFE[\0M\0]", 7),                  // UTF-16 cut in the middle of a character
        QByteArray("\xFF\xFE[\0\x00\xD8]\0", 8),           // a lone surrogate
        QByteArray("[\0M\0a\0i\0n\0]\0\n\0", 14),        // UTF-16 without its mark
    };
    for (const QByteArray& bytes : cases) {
        const QString path = WriteFile(bytes);
        IniFile ini(path);
        EXPECT_TRUE(ini.ReadFailed()) << bytes.toHex(' ').toStdString();
        ini.WriteBool(QStringLiteral("Main"), QStringLiteral("A"), true);
        EXPECT_FALSE(ini.Save());
        EXPECT_EQ(ReadBytes(path), bytes);
    }
}

TEST_F(IniFileTest, MissingFileGivesDefaultsAndIsNoError) {
    const IniFile ini(PathOf(QStringLiteral("absent.ini")));
    EXPECT_FALSE(ini.ReadFailed());
    EXPECT_TRUE(ini.ReadBool(QStringLiteral("Main"), QStringLiteral("WordWrapSourceText"), true));
    EXPECT_FALSE(ini.ReadBool(QStringLiteral("Characters"), QStringLiteral("1"), false));
    EXPECT_TRUE(ini.Contents().isEmpty());
}

// ---- flags ----

TEST(IniFlagTest, ReadsWholeNumbersDecimalOrHex) {
    struct FlagCase {
        const char* text;
        bool withDefaultOff;  // what it reads as with default off
        bool withDefaultOn;   // ... and with default on
    };
    const FlagCase cases[] = {
        {"1", true, true},        {"2", true, true},          {"-1", true, true},
        {"+1", true, true},       {"0x10", true, true},       {"0X10", true, true},
        {"$1", true, true},       {"x1", true, true},         {"Xff", true, true},
        {"-$1", true, true},      {"$aBc", true, true},       {" 1 ", true, true},
        {"2147483647", true, true},  {"-2147483648", true, true}, {"$FFFFFFFF", true, true},
        {"0x00000000001", true, true},
        {"2147483648", false, true}, {"-2147483649", false, true}, {"$100000000", false, true},
        {"99999999999999999999", false, true},                    {"4294967296", false, true},
        {"0", false, false},      {"00", false, false},       {"0x0", false, false},
        {"-0", false, false},     {"$0", false, false},       {"x000", false, false},
        {"yes", false, true},     {"", false, true},          {"1.0", false, true},
        {"0.0", false, true},     {"1e3", false, true},       {"$", false, true},
        {"0x", false, true},      {"-", false, true},         {"+", false, true},
        {"--1", false, true},     {"1 2", false, true},       {"0x1g", false, true},
        {"12a", false, true},     {"true", false, true},      {"0b1", false, true},
        {"$-1", false, true},     {"\xD9\xA1", false, true},  // an Arabic-Indic digit one
    };
    for (const FlagCase& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(ParseIniFlag(text, false), c.withDefaultOff) << '"' << c.text << '"';
        EXPECT_EQ(ParseIniFlag(text, true), c.withDefaultOn) << '"' << c.text << '"';
    }
}

TEST_F(IniFileTest, WritesFlagsAsOneOrZero) {
    IniFile ini(PathOf(QStringLiteral("new.ini")));
    ini.WriteBool(QStringLiteral("Main"), QStringLiteral("A"), true);
    ini.WriteBool(QStringLiteral("Main"), QStringLiteral("B"), false);
    EXPECT_EQ(Str(ini.Contents()), "[Main]\nA=1\nB=0\n");
}

// ---- writing ----

struct WriteCase {
    const char* what;
    QByteArray before;
    const char* section;
    const char* key;
    const char* value;
    QByteArray after;
};

TEST_F(IniFileTest, WritesInPlaceOrAppendsKeyOrSection) {
    const WriteCase cases[] = {
        {"replace in place", "[Main]\nA=0\nB=0\n", "Main", "A", "1", "[Main]\nA=1\nB=0\n"},
        {"replace keeps spacing and spelling", "[main]\n  a  =\t0  \n", "MAIN", "A", "1", "[main]\n  a  =\t1  \n"},
        {"replace empty value", "[Main]\nA=\n", "Main", "A", "1", "[Main]\nA=1\n"},
        {"replace in first of two sections", "[Main]\nA=0\n[Main]\nA=0\n", "Main", "A", "1",
         "[Main]\nA=1\n[Main]\nA=0\n"},
        {"replace first of two keys", "[Main]\nA=0\nA=0\n", "Main", "A", "1", "[Main]\nA=1\nA=0\n"},
        {"append after last key, before blank lines", "[Main]\nA=0\n\n\n[Other]\nX=1\n", "Main", "B", "1",
         "[Main]\nA=0\nB=1\n\n\n[Other]\nX=1\n"},
        {"append before a comment leading into the next section", "[Main]\nA=0\n; about Other\n[Other]\n", "Main",
         "B", "1", "[Main]\nA=0\nB=1\n; about Other\n[Other]\n"},
        {"append to a section without keys", "[Main]\n\n[Other]\nX=1\n", "Main", "B", "1",
         "[Main]\nB=1\n\n[Other]\nX=1\n"},
        {"append to a last line without line end", "[Main]\nA=0", "Main", "B", "1", "[Main]\nA=0\nB=1\n"},
        {"append section", "[Other]\nX=1\n", "Main", "A", "1", "[Other]\nX=1\n\n[Main]\nA=1\n"},
        {"append section after blank line", "[Other]\nX=1\n\n", "Main", "A", "1", "[Other]\nX=1\n\n[Main]\nA=1\n"},
        {"append section, no final line end", "[Other]\nX=1", "Main", "A", "1", "[Other]\nX=1\n\n[Main]\nA=1\n"},
        {"empty file", "", "Main", "A", "1", "[Main]\nA=1\n"},
        {"key 12 untouched by key 1", "[Characters]\n12=1\n", "Characters", "1", "0",
         "[Characters]\n12=1\n1=0\n"},
        {"CR LF kept", "[Main]\r\nA=0\r\n", "Main", "B", "1", "[Main]\r\nA=0\r\nB=1\r\n"},
        {"CR LF for a new section", "[Other]\r\nX=1\r\n", "Main", "A", "1", "[Other]\r\nX=1\r\n\r\n[Main]\r\nA=1\r\n"},
        {"byte-order mark kept", "\xEF\xBB\xBF[Main]\nA=0\n", "Main", "A", "1", "\xEF\xBB\xBF[Main]\nA=1\n"},
        {"Windows-1251 comment kept", "; \xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8\n[Main]\nA=0\n", "Main", "A", "1",
         "; \xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8\n[Main]\nA=1\n"},
        {"Windows-1251 section written in its code page", "; \xCD\xE0\n", "\xD0\x9D\xD0\xB0", "A", "1",
         "; \xCD\xE0\n\n[\xCD\xE0]\nA=1\n"},
        {"CR alone kept", "[Main]\rA=0\r", "Main", "B", "1", "[Main]\rA=0\rB=1\r"},
        {"CR alone read as line ends", "[Other]\rX=1\r[Main]\rA=0", "Main", "A", "1",
         "[Other]\rX=1\r[Main]\rA=1"},
        {"UTF-8 file stays UTF-8", "; \xD0\x9D\xD0\xB0\n", "\xD0\x9D\xD0\xB0", "A", "1",
         "; \xD0\x9D\xD0\xB0\n\n[\xD0\x9D\xD0\xB0]\nA=1\n"},
    };
    for (const WriteCase& c : cases) {
        IniFile ini(WriteFile(c.before));
        ini.WriteString(QString::fromUtf8(c.section), QString::fromUtf8(c.key), QString::fromUtf8(c.value));
        EXPECT_EQ(Str(ini.Contents()), Str(c.after)) << c.what;
        EXPECT_EQ(Str(ini.ReadString(QString::fromUtf8(c.section), QString::fromUtf8(c.key), {}).toUtf8()), c.value)
            << c.what;
    }
}

TEST_F(IniFileTest, KeepsEveryOtherLineByteForByte) {
    const QByteArray before =
        "; Moratutor preferences\r\n"
        "\r\n"
        "[Window]\r\n"
        "Left=10\r\n"
        "\r\n"
        "[ main ]\r\n"
        "  WordWrapSourceText =  0   \r\n"
        "Theme=dark ; not ours\r\n"
        "garbage line without equals\r\n"
        "\t\r\n"
        "[Characters]\r\n"
        "12=1\r\n"
        "3=yes\r\n"
        "[Empty]\r\n"
        "# last words";
    IniFile ini(WriteFile(before));
    ini.WriteBool(QStringLiteral("Main"), QStringLiteral("WordWrapSourceText"), true);
    ini.WriteBool(QStringLiteral("Main"), QStringLiteral("WordWrapConvertedText"), false);
    ini.WriteBool(QStringLiteral("Characters"), QStringLiteral("1"), true);
    ini.WriteBool(QStringLiteral("Characters"), QStringLiteral("3"), false);
    ini.WriteBool(QStringLiteral("Advanced"), QStringLiteral("Snowball"), true);
    const QByteArray after =
        "; Moratutor preferences\r\n"
        "\r\n"
        "[Window]\r\n"
        "Left=10\r\n"
        "\r\n"
        "[ main ]\r\n"
        "  WordWrapSourceText =  1   \r\n"
        "Theme=dark ; not ours\r\n"
        "WordWrapConvertedText=0\r\n"
        "garbage line without equals\r\n"
        "\t\r\n"
        "[Characters]\r\n"
        "12=1\r\n"
        "3=0\r\n"
        "1=1\r\n"
        "[Empty]\r\n"
        "# last words\r\n"
        "\r\n"
        "[Advanced]\r\n"
        "Snowball=1\r\n";
    EXPECT_EQ(Str(ini.Contents()), Str(after));
}

TEST_F(IniFileTest, RewritingTheSameValuesChangesNothing) {
    const QByteArray before = "[Main]\r\nA = 1\r\n; note\r\n\r\n[Other]\r\nB=0";
    IniFile ini(WriteFile(before));
    ini.WriteBool(QStringLiteral("main"), QStringLiteral("a"), true);
    ini.WriteBool(QStringLiteral("OTHER"), QStringLiteral("b"), false);
    EXPECT_EQ(Str(ini.Contents()), Str(before));
}

TEST_F(IniFileTest, RefusesNamesAndValuesThatWouldBreakTheFile) {
    IniFile ini(PathOf(QStringLiteral("new.ini")));
    const struct {
        const char* section;
        const char* key;
        const char* value;
    } bad[] = {
        {"", "A", "1"},     {"  ", "A", "1"},      {"Ma]in", "A", "1"},    {"Ma\nin", "A", "1"},
        {"Main", "", "1"},  {"Main", "A=B", "1"},  {"Main", "[A", "1"},    {"Main", ";A", "1"},
        {"Main", "#A", "1"}, {"Main", "A\rB", "1"}, {"Main", "A", "1\n[X]"}, {"Main", "A", "1\r"},
    };
    for (const auto& b : bad) {
        EXPECT_THROW(ini.WriteString(QString::fromUtf8(b.section), QString::fromUtf8(b.key), QString::fromUtf8(b.value)),
                     std::invalid_argument)
            << b.section << '/' << b.key << '/' << b.value;
    }
    EXPECT_TRUE(ini.Contents().isEmpty());
}

// ---- saving ----

TEST_F(IniFileTest, SavesTheWholeFileAndLeavesNoTemporaryFile) {
    const QString path = WriteFile("; mine\n[Main]\nA=0\n");
    IniFile ini(path);
    ini.WriteBool(QStringLiteral("Main"), QStringLiteral("A"), true);
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(Str(ReadBytes(path)), "; mine\n[Main]\nA=1\n");
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("user.ini")});
    EXPECT_EQ(IniFile(path).ReadString(QStringLiteral("MAIN"), QStringLiteral("a"), {}), QStringLiteral("1"));
}

TEST_F(IniFileTest, SaveCreatesAMissingFolder) {
    const QString path = PathOf(QStringLiteral("config/Moratutor/user.ini"));
    IniFile ini(path);
    ini.WriteBool(QStringLiteral("Main"), QStringLiteral("A"), true);
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(Str(ReadBytes(path)), "[Main]\nA=1\n");
}

TEST_F(IniFileTest, SaveFailsWhenTheFolderCannotExist) {
    // A regular file where the folder should be: no permission bits involved, so this fails
    // for root as well.
    WriteFile("not a folder", QStringLiteral("blocker"));
    IniFile ini(PathOf(QStringLiteral("blocker/user.ini")));
    EXPECT_FALSE(ini.ReadFailed());
    ini.WriteBool(QStringLiteral("Main"), QStringLiteral("A"), true);
    EXPECT_FALSE(ini.Save());
    EXPECT_EQ(Str(ReadBytes(PathOf(QStringLiteral("blocker")))), "not a folder");
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("blocker")});
}

TEST_F(IniFileTest, SaveFailsWhenAFolderStandsInPlaceOfTheFile) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("user.ini")));
    IniFile ini(PathOf(QStringLiteral("user.ini")));
    EXPECT_TRUE(ini.ReadFailed());
    EXPECT_TRUE(ini.ReadBool(QStringLiteral("Main"), QStringLiteral("A"), true));
    ini.WriteBool(QStringLiteral("Main"), QStringLiteral("A"), false);
    EXPECT_FALSE(ini.Save());
    EXPECT_TRUE(QFileInfo(PathOf(QStringLiteral("user.ini"))).isDir());
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("user.ini")});
}

TEST_F(IniFileTest, AFileFarTooLargeIsNeitherReadNorOverwritten) {
    const QByteArray huge = "[Main]\nA=0\n" + QByteArray(2 * 1024 * 1024, ';');
    const QString path = WriteFile(huge);
    IniFile ini(path);
    EXPECT_TRUE(ini.ReadFailed());
    EXPECT_TRUE(ini.ReadBool(QStringLiteral("Main"), QStringLiteral("A"), true));
    ini.WriteBool(QStringLiteral("Main"), QStringLiteral("A"), true);
    EXPECT_FALSE(ini.Save());
    EXPECT_EQ(ReadBytes(path), huge);
}

TEST_F(IniFileTest, SaveFailsOnAnEmptyFileName) {
    IniFile ini{QString()};
    EXPECT_FALSE(ini.Save());
}

}  // namespace

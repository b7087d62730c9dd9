#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "KanaCountsFile.h"

namespace {

using moratutor::kmHiragana;
using moratutor::kmKatakana;
using moratutor::study::KanaCounts;
using moratutor::study::KanaCountsFile;
using moratutor::study::Tally;

TEST(KanaCounts, SameKanaOfTwoRowsIsOneKana) {
    KanaCounts counts;
    counts.CountLookUp(4, kmHiragana);  // гэ: げ
    counts.CountSeen(9, kmHiragana);    // ге: げ too
    counts.CountSeen(4, kmKatakana);    // ゲ apart
    EXPECT_EQ(counts.Of(9, kmHiragana), (Tally{1, 1}));
    EXPECT_EQ(counts.Of(4, kmKatakana), (Tally{0, 1}));
    counts.CountSeen(121, kmHiragana);  // the spaces row counts nothing
    counts.CountSeen(0, kmHiragana);
    counts.CountSeen(122, kmHiragana);
    EXPECT_EQ(counts.Of(121, kmHiragana), Tally{});
}

TEST(KanaCounts, OldMeetingsFade) {
    KanaCounts counts;
    for (std::uint32_t i = 0; i + 1 < KanaCounts::kMemory; ++i) counts.CountLookUp(50, kmHiragana);
    EXPECT_EQ(counts.Of(50, kmHiragana).Met(), KanaCounts::kMemory - 1);
    counts.CountSeen(50, kmHiragana);
    EXPECT_EQ(counts.Of(50, kmHiragana), (Tally{(KanaCounts::kMemory - 1) / 2, 0}));
}

TEST(KanaCounts, TextRoundTripAndDamage) {
    KanaCounts counts;
    counts.CountLookUp(50, kmHiragana);
    counts.CountSeen(105, kmKatakana);
    counts.CountSeen(113, kmHiragana);
    EXPECT_EQ(KanaCounts::Parse(counts.Serialise()), counts);
    EXPECT_EQ(KanaCounts::Parse("Moratutor kana counts 1\n"), KanaCounts());
    const char* damaged[] = {
        "",
        "Moratutor kana counts 2\n",
        "Moratutor kana counts 1\nこ 1\n",
        "Moratutor kana counts 1\nこ 1 x\n",
        "Moratutor kana counts 1\nこ -1 2\n",
        "Moratutor kana counts 1\nこ 1 4294967296\n",
        "Moratutor kana counts 1\nko 1 2\n",
        "Moratutor kana counts 1\nこ 1 2\nこ 1 2\n",
        "\xff\xfe\x00\x01",
    };
    for (const char* text : damaged) EXPECT_EQ(KanaCounts::Parse(QByteArray(text)), std::nullopt) << text;
    EXPECT_EQ(KanaCounts::Parse("Moratutor kana counts 1\nこ 1 4294967295\n")->Of(50, kmHiragana).Seen, 4294967295u);
}

TEST(KanaCountsFile, PathBesideThePreferencesOrInTheDataFolder) {
    EXPECT_EQ(moratutor::study::KanaCountsPath("/opt/m/anna.ini", "/opt/m", "/home/anna/.local/share/m"), "/opt/m/anna.kana");
    EXPECT_EQ(moratutor::study::KanaCountsPath("/home/anna/.config/m/anna.ini", "/usr/bin", "/home/anna/.local/share/m"),
              "/home/anna/.local/share/m/anna.kana");
    EXPECT_EQ(moratutor::study::KanaCountsPath("/home/anna/.config/m/anna.ini", "/usr/bin", ""),
              "/home/anna/.config/m/anna.kana");
}

TEST(KanaCountsFile, KeptAcrossSessionsAndADamagedFileIsLeftAlone) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data/anna.kana"));
    {
        KanaCountsFile file(path);
        EXPECT_EQ(file.Load(), KanaCounts());
        EXPECT_EQ(file.FileState(), KanaCountsFile::State::Missing);
        EXPECT_TRUE(file.Save(KanaCounts()));
        EXPECT_FALSE(QFile::exists(path));  // nothing counted, no file
        KanaCounts counts;
        counts.CountLookUp(50, kmHiragana);
        EXPECT_TRUE(file.Save(counts));  // the folder is made
    }
    KanaCountsFile again(path);
    EXPECT_EQ(again.Load().Of(50, kmHiragana), (Tally{1, 0}));
    EXPECT_EQ(again.FileState(), KanaCountsFile::State::Read);

    QFile damaged(path);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("Moratutor kana counts 1\nこ one 2\n");
    damaged.close();
    KanaCountsFile third(path);
    EXPECT_EQ(third.Load(), KanaCounts());
    EXPECT_EQ(third.FileState(), KanaCountsFile::State::Damaged);
    EXPECT_TRUE(third.Problem().contains(QStringLiteral("повреждён")));
    KanaCounts counts;
    counts.CountSeen(1, kmHiragana);
    EXPECT_FALSE(third.Save(counts));
    QFile check(path);
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), QByteArray("Moratutor kana counts 1\nこ one 2\n"));
    check.close();
    EXPECT_TRUE(third.Save(counts, true));  // the user's reset replaces it
    EXPECT_EQ(KanaCountsFile(path).Load(), counts);
}

}  // namespace

#include <gtest/gtest.h>

#include "KanaProgress.h"
#include "moratutor/SyllableTable.h"

namespace {

using moratutor::kmHiragana;
using moratutor::kmKatakana;
using moratutor::study::KanaCounts;
using moratutor::study::Mastery;
using moratutor::study::Tally;

TEST(KanaProgress, MasteryAtItsBoundaries) {
    const struct {
        Tally tally;
        Mastery mastery;
    } cases[] = {
        {{0, 0}, Mastery::NotEnough},  {{0, 7}, Mastery::NotEnough},       {{7, 0}, Mastery::NotEnough},
        {{0, 8}, Mastery::Known},      {{1, 9}, Mastery::Known},           {{2, 8}, Mastery::Learning},
        {{3, 7}, Mastery::Learning},   {{4, 6}, Mastery::StillLookedUp},   {{8, 0}, Mastery::StillLookedUp},
    };
    for (const auto& c : cases)
        EXPECT_EQ(moratutor::study::MasteryOf(c.tally), c.mastery) << c.tally.LookedUp << " " << c.tally.Seen;
}

void Meet(KanaCounts& counts, int row, moratutor::KanaMode script, int lookUps, int sightings) {
    for (int i = 0; i < lookUps; ++i) counts.CountLookUp(row, script);
    for (int i = 0; i < sightings; ++i) counts.CountSeen(row, script);
}

moratutor::OptionSet Groups(std::initializer_list<int> groups) {
    moratutor::OptionSet options;
    for (const int g : groups) options.Characters[static_cast<std::size_t>(g - 1)] = true;
    return options;
}

TEST(KanaProgress, RowTakesTheWorseScriptMetOftenEnough) {
    KanaCounts counts;
    Meet(counts, 115, kmHiragana, 0, 20);
    EXPECT_EQ(moratutor::study::RowMastery(counts, 115), Mastery::Known);
    Meet(counts, 115, kmKatakana, 5, 3);
    EXPECT_EQ(moratutor::study::RowMastery(counts, 115), Mastery::StillLookedUp);
}

TEST(KanaProgress, SuggestsTheNextGroupOnceTheTickedOnesAreKnown) {
    // Group 1 is а, и, у, э, о (rows 115 .. 119); е (120) comes in only with "Е".
    KanaCounts counts;
    for (int row = 115; row <= 118; ++row) Meet(counts, row, kmHiragana, 0, 10);
    EXPECT_EQ(moratutor::study::SuggestGroup(counts, Groups({1})), 2);  // 4 of 5 met: enough
    Meet(counts, 119, kmHiragana, 6, 4);
    EXPECT_EQ(moratutor::study::SuggestGroup(counts, Groups({1})), 0);  // о still looked up
    EXPECT_EQ(moratutor::study::ProgressOfTicked(counts, Groups({1})).ToPractise, 1);
    Meet(counts, 119, kmHiragana, 0, 90);
    EXPECT_EQ(moratutor::study::SuggestGroup(counts, Groups({1})), 2);
    EXPECT_EQ(moratutor::study::SuggestGroup(counts, Groups({1, 2})), 0);  // Ка... not met yet
    EXPECT_EQ(moratutor::study::SuggestGroup(KanaCounts(), Groups({})), 0);

    KanaCounts few;
    for (int row = 115; row <= 117; ++row) Meet(few, row, kmHiragana, 0, 10);
    EXPECT_EQ(moratutor::study::SuggestGroup(few, Groups({1})), 0);  // 3 of 5 met: too few
    const moratutor::study::TickedProgress progress = moratutor::study::ProgressOfTicked(few, Groups({1}));
    EXPECT_EQ(progress.Rows, 5);
    EXPECT_EQ(progress.Known, 3);
}

TEST(KanaProgress, VoicedAndYoonAreSuggestedOnlyWhereTheyBringRows) {
    KanaCounts counts;
    moratutor::OptionSet all = Groups({1, 2, 3, 4, 5, 6, 7, 8, 9});
    for (const moratutor::SyllableRow& row : moratutor::SyllableTable())
        if (moratutor::GuardHolds(row, all) && moratutor::LearningGroup(row) != 0) Meet(counts, row.Row, kmHiragana, 0, 10);
    EXPECT_EQ(moratutor::study::SuggestGroup(counts, all), 10);
    all.Characters[9] = all.Characters[10] = true;
    EXPECT_EQ(moratutor::study::SuggestGroup(counts, all), 0);  // nothing left to tick
}

}  // namespace

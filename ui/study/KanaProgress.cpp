#include "KanaProgress.h"

#include <algorithm>

#include "moratutor/SyllableTable.h"

namespace moratutor::study {

namespace {

// Most rows of the ticked groups must have been met often enough before they count as
// known: a group whose rows are rare in Russian would otherwise hold the next one back for
// ever, or be passed over unread.
constexpr double kMetShareForSuggestion = 0.8;

bool Ticked(const moratutor::SyllableRow& row, const moratutor::OptionSet& options) {
    return moratutor::LearningGroup(row) != 0 && moratutor::GuardHolds(row, options);
}

}  // namespace

double KnownShare(const Tally& tally) {
    return tally.Met() ? static_cast<double>(tally.Seen) / static_cast<double>(tally.Met()) : 0.0;
}

Mastery MasteryOf(const Tally& tally) {
    if (tally.Met() < kEnoughMeetings) return Mastery::NotEnough;
    const double share = KnownShare(tally);
    if (share >= kKnownShare) return Mastery::Known;
    return share < kPractiseBelow ? Mastery::StillLookedUp : Mastery::Learning;
}

Mastery RowMastery(const KanaCounts& counts, int row) {
    const Mastery hiragana = MasteryOf(counts.Of(row, moratutor::kmHiragana));
    const Mastery katakana = MasteryOf(counts.Of(row, moratutor::kmKatakana));
    if (hiragana == Mastery::NotEnough) return katakana;
    if (katakana == Mastery::NotEnough) return hiragana;
    return std::min(hiragana, katakana);  // the enum runs from worst to best
}

TickedProgress ProgressOfTicked(const KanaCounts& counts, const moratutor::OptionSet& options) {
    TickedProgress progress;
    for (const moratutor::SyllableRow& row : moratutor::SyllableTable()) {
        if (!Ticked(row, options)) continue;
        ++progress.Rows;
        const Mastery mastery = RowMastery(counts, row.Row);
        progress.Known += mastery == Mastery::Known;
        progress.ToPractise += mastery == Mastery::StillLookedUp;
    }
    return progress;
}

int SuggestGroup(const KanaCounts& counts, const moratutor::OptionSet& options) {
    int rows = 0, met = 0;
    for (const moratutor::SyllableRow& row : moratutor::SyllableTable()) {
        if (!Ticked(row, options)) continue;
        ++rows;
        const Mastery mastery = RowMastery(counts, row.Row);
        if (mastery == Mastery::NotEnough) continue;
        if (mastery != Mastery::Known) return 0;
        ++met;
    }
    if (rows == 0 || met < kMetShareForSuggestion * rows) return 0;
    for (int group = 1; group <= 11; ++group) {
        if (options.Group(group)) continue;
        moratutor::OptionSet more = options;
        more.Characters[static_cast<std::size_t>(group - 1)] = true;
        for (const moratutor::SyllableRow& row : moratutor::SyllableTable())
            if (Ticked(row, more) && !Ticked(row, options)) return group;
    }
    return 0;
}

}  // namespace moratutor::study

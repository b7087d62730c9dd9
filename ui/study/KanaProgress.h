// What the counts say of a kana and of the ticked groups: how well the kana is known, which
// ones to practise, and which group to tick next once the ticked ones are known.
#pragma once

#include "KanaCounts.h"
#include "moratutor/Engine.h"

namespace moratutor::study {

enum class Mastery {
    NotEnough,      // met too seldom to say
    StillLookedUp,  // to practise
    Learning,
    Known,
};

// A kana is judged once met this often; known when this share of its meetings needed no
// look-up, still looked up below the lower share.
inline constexpr std::uint32_t kEnoughMeetings = 8;
inline constexpr double kKnownShare = 0.9;
inline constexpr double kPractiseBelow = 0.7;

// The share of the meetings read without a look-up, 0 (always looked up) to 1.
double KnownShare(const Tally& tally);
Mastery MasteryOf(const Tally& tally);

// A row's kana in both scripts taken together: judged by the scripts met often enough, the
// worse one deciding.
Mastery RowMastery(const KanaCounts& counts, int row);

// The group (1 .. 11) to tick next, or 0: only when the rows the ticks bring in are known
// (every one met often enough is known, and most of them were met often enough), the first
// group whose tick brings in rows not yet ticked.
int SuggestGroup(const KanaCounts& counts, const moratutor::OptionSet& options);

// Of the rows the ticks bring in: how many are known, and how many to practise.
struct TickedProgress {
    int Rows = 0;
    int Known = 0;
    int ToPractise = 0;
};
TickedProgress ProgressOfTicked(const KanaCounts& counts, const moratutor::OptionSet& options);

}  // namespace moratutor::study

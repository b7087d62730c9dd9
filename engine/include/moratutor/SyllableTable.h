// The constant table of syllables the conversion walks, in the order of the pass.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "moratutor/Engine.h"

namespace moratutor {

// Guard bits: the options that must all be on for a row to apply.
enum GuardBit : std::uint16_t {
    gGroup1 = 1u << 0, gGroup2 = 1u << 1, gGroup3 = 1u << 2, gGroup4 = 1u << 3,
    gGroup5 = 1u << 4, gGroup6 = 1u << 5, gGroup7 = 1u << 6, gGroup8 = 1u << 7,
    gGroup9 = 1u << 8, gGroup10 = 1u << 9, gGroup11 = 1u << 10,
    gReplaceE = 1u << 11, gReplaceSpaces = 1u << 12,
};

struct SyllableRow {
    int Row;                     // 1 .. 121, also the position in the pass
    std::uint16_t Guard;         // GuardBit mask
    std::u16string_view Syllable;
    std::u16string_view Hiragana;
    std::u16string_view Katakana;
};

inline constexpr std::size_t kSyllableRowCount = 121;

const std::array<SyllableRow, kSyllableRowCount>& SyllableTable();

// The captions of the group check boxes 1 to 11; anything else throws std::out_of_range.
std::u16string_view GroupCaption(int group);

// The group a row is learnt in: 10 for the voiced rows, 11 for the other yoon rows, else
// the group its guard names (1 to 9); 0 for the spaces row.
int LearningGroup(const SyllableRow& row);

std::uint16_t GuardMask(const OptionSet& options);
inline bool GuardHolds(const SyllableRow& row, const OptionSet& options) {
    return (row.Guard & GuardMask(options)) == row.Guard;
}

}  // namespace moratutor

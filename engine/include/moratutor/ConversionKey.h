// The answer key of a conversion: for every occurrence the pass replaced, where its kana
// lie in the converted text and what source text they stand for. Plain C++, no window.
#pragma once

#include "moratutor/Engine.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace moratutor {

struct SyllableRow;

// One replaced occurrence. Only the kana the step wrote are keyed: the particle row's
// spaces stay the source's own spaces, so its entry covers を alone and replaced "о".
struct KeyEntry {
    std::uint32_t Offset = 0;          // first UTF-16 unit of the kana in the converted text
    std::uint8_t Length = 0;           // UTF-16 units of the kana (1 or 2)
    std::uint8_t Row = 0;              // the syllable table row, 1 .. 121
    std::uint8_t SourceLength = 0;     // UTF-16 units of the source text (1 to 3)
    KanaMode Script = kmHiragana;      // kmHiragana or kmKatakana, never kmRandomKana
    std::array<char16_t, 3> SourceUnits{};

    std::size_t End() const { return std::size_t{Offset} + Length; }
    // The text of the input it replaced, exactly as it stood there (case kept).
    std::u16string_view Source() const { return {SourceUnits.data(), SourceLength}; }
    const SyllableRow& TableRow() const;
    // The kana as written: the row's hiragana or katakana, less the particle's spaces.
    std::u16string_view Kana() const;
};

// Sorted by Offset; the entries never overlap.
using AnswerKey = std::vector<KeyEntry>;

// ReplaceWithKanaUnicode that also fills `key` for the converted text (its old content is
// dropped). Texts of 2^32 units or more are refused with std::length_error, Text unchanged.
void ReplaceWithKanaUnicode(StepEnvironment& env, const OptionSet& options, std::u16string& Text,
                            AnswerKey& key);

// Puts every keyed range of `converted` back to its source text: the input of the pass.
std::u16string RestoreSource(std::u16string_view converted, const AnswerKey& key);

}  // namespace moratutor

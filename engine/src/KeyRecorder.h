// Collects the answer key while the pass rewrites its text step after step.
#pragma once

#include "moratutor/ConversionKey.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace moratutor::detail {

// Two ways to the same key. Usually every replaced occurrence is written as stand-ins:
// private-use code units the source does not contain, one value per row and script, of
// the kana's length. No later search can match them, nothing moves during the pass, and one
// scan at the end puts the kana in and reads the key off the text. When the source uses
// too many private-use units to leave enough free, the kana are written at once and the
// key's positions are carried through every step instead, which costs far more time.
class KeyRecorder {
public:
    // `source`: the pass's input, left untouched until Finish.
    explicit KeyRecorder(std::u16string_view source);

    bool UsesStandIns() const { return !standIns_.empty(); }

    // The row whose step runs next.
    void BeginStep(const SyllableRow& row);

    // One replaced occurrence: `matched` is the input text at `inputStart`, `kana` what
    // replaces it at `outputStart` of the step's output. Returns what the step writes.
    std::u16string_view Replace(std::size_t inputStart, std::u16string_view matched, std::size_t outputStart,
                                std::u16string_view kana, KanaMode script) {
        ++count_;
        if (!UsesStandIns()) {
            Carry(inputStart, matched, outputStart, script);
            return kana;
        }
        std::u16string_view& written = script == kmKatakana ? writtenKatakana_ : writtenHiragana_;
        return written;
    }

    void EndStep();

    // The key of `converted`, the pass's output; stand-ins in it become their kana.
    AnswerKey Finish(std::u16string& converted);

private:
    // What a row keys: the kana less what they share with the syllable at either end (the
    // particle's spaces, which stay source text and may still be replaced by the spaces row).
    struct Keyed {
        std::uint8_t Head = 0;
        std::uint8_t Length = 0;        // kana units keyed
        std::uint8_t SourceLength = 0;  // syllable units keyed
    };
    static Keyed KeyedPart(const SyllableRow& row);

    void Carry(std::size_t inputStart, std::u16string_view matched, std::size_t outputStart, KanaMode script);

    std::u16string_view source_;
    const SyllableRow* row_ = nullptr;
    Keyed keyed_;

    // Stand-ins: the unit for row r and script s at [2 * (r - 1) + s]; the reverse table
    // gives 1 + that index for a private-use unit, 0 for one the source has.
    std::vector<char16_t> standIns_;
    std::vector<std::uint8_t> standInIndex_;
    // What this step writes for an occurrence in either script.
    std::array<char16_t, 3> hiraganaUnits_{}, katakanaUnits_{};
    std::u16string_view writtenHiragana_, writtenKatakana_;
    std::size_t count_ = 0;  // occurrences replaced so far

    // Carried positions: earlier entries as positions in the current text and indexes into
    // `entries_`, kept at 8 bytes since every step that replaces something moves them all.
    struct Placed {
        std::uint32_t Position;
        std::uint32_t Index;
    };
    struct Fresh {
        std::uint32_t InputStart;
        std::uint32_t InputEnd;
        std::uint32_t Index;
    };
    std::vector<KeyEntry> entries_;
    std::vector<Placed> placed_;
    std::vector<Placed> spare_;
    std::vector<Fresh> fresh_;
};

}  // namespace moratutor::detail

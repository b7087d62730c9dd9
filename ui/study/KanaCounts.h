// How often each kana was looked up (its tool tip asked for) and seen (shown and read past
// without a look-up). Counted per kana as written, so げ of "гэ" and of "ге" is one kana,
// and hiragana and katakana apart.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "moratutor/Engine.h"

namespace moratutor::study {

struct Tally {
    std::uint32_t LookedUp = 0;
    std::uint32_t Seen = 0;
    std::uint64_t Met() const { return std::uint64_t{LookedUp} + Seen; }
    bool operator==(const Tally&) const = default;
};

// The distinct kana of the syllable table: an index for a row (1 .. 121) and a script, -1 for
// the spaces row and rows out of range.
int KanaIndex(int row, moratutor::KanaMode script);
int KanaIndexCount();
std::u16string_view KanaText(int index);  // without the particle's spaces

class KanaCounts {
public:
    KanaCounts();

    // Cheap enough for every kana of a scrolled page: an array step, no search.
    void CountLookUp(int row, moratutor::KanaMode script) { Add(KanaIndex(row, script), 1, 0); }
    void CountSeen(int row, moratutor::KanaMode script) { Add(KanaIndex(row, script), 0, 1); }
    Tally Of(int row, moratutor::KanaMode script) const;
    Tally OfIndex(int index) const;
    void Reset();
    bool Empty() const;

    // The file's text: a heading line, then "<kana> <look-ups> <sightings>" per kana met.
    QByteArray Serialise() const;
    // nullopt for anything that is not such a text (the heading, a kana not in the table, a
    // number that is not one, a kana twice).
    static std::optional<KanaCounts> Parse(QByteArrayView bytes);

    bool operator==(const KanaCounts&) const = default;

    // Old habits fade: a kana met this often has both counts halved, so that the shade
    // follows the last few hundred meetings, not the first ones.
    static constexpr std::uint32_t kMemory = 400;

private:
    void Add(int index, std::uint32_t lookUps, std::uint32_t sightings);
    std::vector<Tally> tallies_;
};

}  // namespace moratutor::study

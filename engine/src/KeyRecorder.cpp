#include "KeyRecorder.h"

#include "moratutor/SyllableTable.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace moratutor::detail {
namespace {

constexpr char16_t kPrivateFirst = 0xE000;
constexpr char16_t kPrivateLast = 0xF8FF;
constexpr std::size_t kStandInCount = 2 * kSyllableRowCount;

bool IsPrivate(char16_t unit) { return unit >= kPrivateFirst && unit <= kPrivateLast; }

// Calls visit(i) for each private-use unit at or after where the previous visit said to go
// on from. Stand-ins lie every unit or two, too irregularly for a test per unit to be
// guessed: eight units are tested at once where the processor can.
template <typename Visit>
void ForEachPrivateUnit(const char16_t* text, std::size_t size, Visit visit) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi16(static_cast<short>(kPrivateFirst));
    const __m128i span = _mm_set1_epi16(static_cast<short>(kPrivateLast - kPrivateFirst));
    for (std::size_t block = 0; block + 8 <= size; block += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + block));
        // Private when unit - first <= span, unsigned: the saturated difference is then 0.
        const __m128i offset = _mm_sub_epi16(units, first);
        const __m128i inside = _mm_cmpeq_epi16(_mm_subs_epu16(offset, span), _mm_setzero_si128());
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(inside));  // two bits per unit
        while (mask != 0) {
            const std::size_t at = block + static_cast<std::size_t>(__builtin_ctz(mask)) / 2;
            mask &= mask - 1;
            mask &= mask - 1;
            if (at >= i) i = visit(at);  // else the second unit of a kana already visited
        }
        i = std::max(i, block + 8);
    }
#endif
    while (i < size) i = IsPrivate(text[i]) ? visit(i) : i + 1;
}

}  // namespace

KeyRecorder::KeyRecorder(std::u16string_view source) : source_(source) {
    std::vector<bool> used(kPrivateLast - kPrivateFirst + 1u);
    for (char16_t unit : source)
        if (IsPrivate(unit)) used[unit - kPrivateFirst] = true;
    std::vector<char16_t> free;
    for (std::size_t i = 0; i < used.size() && free.size() < kStandInCount; ++i)
        if (!used[i]) free.push_back(static_cast<char16_t>(kPrivateFirst + i));
    if (free.size() < kStandInCount) return;  // carry the positions instead
    standIns_ = std::move(free);
    standInIndex_.assign(used.size(), 0);
    for (std::size_t i = 0; i < standIns_.size(); ++i)
        standInIndex_[standIns_[i] - kPrivateFirst] = static_cast<std::uint8_t>(i + 1);
}

KeyRecorder::Keyed KeyRecorder::KeyedPart(const SyllableRow& row) {
    const std::u16string_view syllable = row.Syllable, kana = row.Hiragana;
    std::size_t head = 0;
    while (head < syllable.size() && head < kana.size() && syllable[head] == kana[head]) ++head;
    std::size_t tail = 0;
    while (tail < syllable.size() - head && tail < kana.size() - head &&
           syllable[syllable.size() - 1 - tail] == kana[kana.size() - 1 - tail])
        ++tail;
    return {static_cast<std::uint8_t>(head), static_cast<std::uint8_t>(kana.size() - head - tail),
            static_cast<std::uint8_t>(syllable.size() - head - tail)};
}

void KeyRecorder::BeginStep(const SyllableRow& row) {
    row_ = &row;
    keyed_ = KeyedPart(row);
    if (!UsesStandIns()) return;
    const auto standIns = [&](std::u16string_view kana, int script, std::array<char16_t, 3>& units) {
        std::copy(kana.begin(), kana.end(), units.begin());
        std::fill_n(units.begin() + keyed_.Head, keyed_.Length, standIns_[2 * static_cast<std::size_t>(row.Row - 1) + static_cast<std::size_t>(script)]);
        return std::u16string_view(units.data(), kana.size());
    };
    writtenHiragana_ = standIns(row.Hiragana, 0, hiraganaUnits_);
    writtenKatakana_ = standIns(row.Katakana, 1, katakanaUnits_);
}

void KeyRecorder::Carry(std::size_t inputStart, std::u16string_view matched, std::size_t outputStart,
                        KanaMode script) {
    KeyEntry entry;
    entry.Offset = static_cast<std::uint32_t>(outputStart + keyed_.Head);
    entry.Length = keyed_.Length;
    entry.Row = static_cast<std::uint8_t>(row_->Row);
    entry.SourceLength = keyed_.SourceLength;
    entry.Script = script;
    std::copy_n(matched.begin() + keyed_.Head, keyed_.SourceLength, entry.SourceUnits.begin());
    const auto start = static_cast<std::uint32_t>(inputStart + keyed_.Head);
    fresh_.push_back({start, start + keyed_.SourceLength, static_cast<std::uint32_t>(entries_.size())});
    entries_.push_back(entry);
}

void KeyRecorder::EndStep() {
    if (fresh_.empty()) return;
    spare_.resize(placed_.size() + fresh_.size());
    Placed* out = spare_.data();
    const Placed* old = placed_.data();
    const Placed* const oldEnd = old + placed_.size();
    // Earlier kana never lie inside a match (a match is Cyrillic and spaces), so each one
    // moves by what the occurrences before it shortened the text.
    std::int64_t shift = 0;
    for (const Fresh& f : fresh_) {
        for (; old != oldEnd && old->Position < f.InputStart; ++old)
            *out++ = {static_cast<std::uint32_t>(old->Position + shift), old->Index};
        const KeyEntry& e = entries_[f.Index];
        *out++ = {e.Offset, f.Index};
        shift = static_cast<std::int64_t>(e.End()) - f.InputEnd;
    }
    for (; old != oldEnd; ++old) *out++ = {static_cast<std::uint32_t>(old->Position + shift), old->Index};
    placed_.swap(spare_);
    fresh_.clear();
}

AnswerKey KeyRecorder::Finish(std::u16string& converted) {
    AnswerKey key;
    if (!UsesStandIns()) {
        key.reserve(placed_.size());
        for (const Placed& p : placed_) {
            key.push_back(entries_[p.Index]);
            key.back().Offset = p.Position;
        }
        return key;
    }
    // What each stand-in becomes, worked out once.
    std::array<KeyEntry, kStandInCount> made;
    std::array<std::array<char16_t, 2>, kStandInCount> kanaOf{};  // keyed kana are one or two units
    for (const SyllableRow& row : SyllableTable()) {
        const Keyed keyed = KeyedPart(row);
        for (int script = 0; script < 2; ++script) {
            KeyEntry& entry = made[2 * static_cast<std::size_t>(row.Row - 1) + static_cast<std::size_t>(script)];
            entry.Length = keyed.Length;
            entry.Row = static_cast<std::uint8_t>(row.Row);
            entry.SourceLength = keyed.SourceLength;
            entry.Script = script ? kmKatakana : kmHiragana;
            const std::u16string_view kana = entry.Kana();
            std::copy(kana.begin(), kana.end(), kanaOf[2 * static_cast<std::size_t>(row.Row - 1) + static_cast<std::size_t>(script)].begin());
        }
    }
    key.reserve(count_);
    // Everything outside the keyed ranges is source text, so a range's place in the source
    // is its place here plus what the ranges before it shortened the text.
    std::size_t shortened = 0;
    char16_t* const text = converted.data();
    const std::size_t size = converted.size();
    const auto put = [&](std::size_t i, std::uint8_t index) {
        KeyEntry& entry = key.emplace_back(made[index - 1u]);
        entry.Offset = static_cast<std::uint32_t>(i);
        const char16_t* from = source_.data() + i + shortened;
        // Unit by unit: these are one to three units, too few for a library copy.
        for (std::size_t k = 0; k < entry.SourceLength; ++k) entry.SourceUnits[k] = from[k];
        const std::array<char16_t, 2>& kana = kanaOf[index - 1u];
        text[i] = kana[0];
        if (entry.Length == 2) text[i + 1] = kana[1];
        shortened += entry.SourceLength - entry.Length;
        return i + entry.Length;
    };
    ForEachPrivateUnit(text, size, [&](std::size_t at) {
        const std::uint8_t index = standInIndex_[text[at] - kPrivateFirst];
        return index != 0 ? put(at, index) : at + 1;
    });
    return key;
}

}  // namespace moratutor::detail

// Finds a syllable in UTF-16 text, exactly or without regard to case, scanning many code
// units at a time for the syllable's first two units.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace moratutor::detail {

// The fastest scan searchers made from now on may use: AVX2 where the processor has it
// (the default), SSE2, or one unit at a time. Tests lower it to cover every scan.
enum class ScanLevel { Scalar, Sse2, Avx2 };
void LimitScan(ScanLevel level);

class Searcher {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // `caseInsensitive`: a text unit matches a pattern unit when their simple upper cases are equal.
    Searcher(std::u16string_view syllable, bool caseInsensitive);

    // The pattern as searched: the syllable, upper-cased when matching ignores case.
    const std::u16string& Pattern() const { return pattern_; }

    // The leftmost occurrence in text[0, n) that starts at `from` or later, or npos.
    std::size_t Find(const char16_t* text, std::size_t n, std::size_t from) const;

private:
    using FindFn = std::size_t (*)(const Searcher&, const char16_t*, std::size_t, std::size_t);
    template <int K0, int K1>
    static std::size_t FindVector(const Searcher& s, const char16_t* text, std::size_t n, std::size_t from);
#if defined(__x86_64__) && defined(__GNUC__)
    // The same with AVX2, chosen at run time where the processor has it.
    template <int K0, int K1>
    __attribute__((target("avx2"))) static std::size_t FindWide(const Searcher& s, const char16_t* text,
                                                                 std::size_t n, std::size_t from);
#endif
    static std::size_t FindScalar(const Searcher& s, const char16_t* text, std::size_t n, std::size_t from);

    bool MatchesFrom(const char16_t* at, std::size_t first) const {
        for (std::size_t j = first; j < pattern_.size(); ++j)
            if (Unit(at[j]) != pattern_[j]) return false;
        return true;
    }
    char16_t Unit(char16_t c) const { return upper_ ? upper_[c] : c; }

    std::u16string pattern_;
    const char16_t* upper_ = nullptr;  // null when matching is exact
    bool impossible_ = false;          // no code unit can match the first pattern unit
    // The code units that match pattern units 0 and 1, padded by repetition.
    std::array<char16_t, 4> first_{};
    std::array<char16_t, 4> second_{};
    FindFn find_ = &FindScalar;
};

}  // namespace moratutor::detail

#include "Searcher.h"

#include "CaseFold.h"

#include <atomic>
#include <span>
#include <stdexcept>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define MORATUTOR_HAVE_WIDE_SCAN 1
#endif

namespace moratutor::detail {
namespace {

std::atomic<ScanLevel> scanLimit{ScanLevel::Avx2};

// The code units matching `unit` in the chosen mode; false when there are more than fit.
bool FillMatches(char16_t unit, const char16_t* upper, std::array<char16_t, 4>& out, int& count) {
    if (!upper) {
        out.fill(unit);
        count = 1;
        return true;
    }
    const std::span<const char16_t> units = UnitsWithUpper(unit);
    count = static_cast<int>(units.size());
    if (units.empty() || units.size() > out.size()) return false;
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = units[i < units.size() ? i : 0];
    return true;
}

}  // namespace

void LimitScan(ScanLevel level) { scanLimit.store(level, std::memory_order_relaxed); }

Searcher::Searcher(std::u16string_view syllable, bool caseInsensitive)
    : pattern_(syllable), upper_(caseInsensitive ? UpperTable() : nullptr) {
    if (syllable.empty()) throw std::invalid_argument("The syllable to replace is empty");
    if (upper_)
        for (char16_t& c : pattern_) c = upper_[c];

    int k0 = 0, k1 = 0;
    const bool fits0 = FillMatches(pattern_[0], upper_, first_, k0);
    if (k0 == 0) {
        impossible_ = true;
        return;
    }
    bool fits1 = true;
    if (pattern_.size() >= 2) {
        fits1 = FillMatches(pattern_[1], upper_, second_, k1);
        if (k1 == 0) {
            impossible_ = true;
            return;
        }
    }
#if defined(__SSE2__)
    if (fits0 && fits1 && scanLimit.load(std::memory_order_relaxed) != ScanLevel::Scalar) {
        // [K0 - 1][K1]: K1 = 0 for one-unit patterns.
        static constexpr FindFn table[4][5] = {
            {&FindVector<1, 0>, &FindVector<1, 1>, &FindVector<1, 2>, &FindVector<1, 3>, &FindVector<1, 4>},
            {&FindVector<2, 0>, &FindVector<2, 1>, &FindVector<2, 2>, &FindVector<2, 3>, &FindVector<2, 4>},
            {&FindVector<3, 0>, &FindVector<3, 1>, &FindVector<3, 2>, &FindVector<3, 3>, &FindVector<3, 4>},
            {&FindVector<4, 0>, &FindVector<4, 1>, &FindVector<4, 2>, &FindVector<4, 3>, &FindVector<4, 4>},
        };
        find_ = table[k0 - 1][k1];
#if defined(MORATUTOR_HAVE_WIDE_SCAN)
        // 16 units a round where the processor has AVX2; the build itself assumes only SSE2.
        static constexpr FindFn wide[4][5] = {
            {&FindWide<1, 0>, &FindWide<1, 1>, &FindWide<1, 2>, &FindWide<1, 3>, &FindWide<1, 4>},
            {&FindWide<2, 0>, &FindWide<2, 1>, &FindWide<2, 2>, &FindWide<2, 3>, &FindWide<2, 4>},
            {&FindWide<3, 0>, &FindWide<3, 1>, &FindWide<3, 2>, &FindWide<3, 3>, &FindWide<3, 4>},
            {&FindWide<4, 0>, &FindWide<4, 1>, &FindWide<4, 2>, &FindWide<4, 3>, &FindWide<4, 4>},
        };
        if (scanLimit.load(std::memory_order_relaxed) == ScanLevel::Avx2 && __builtin_cpu_supports("avx2"))
            find_ = wide[k0 - 1][k1];
#endif
    }
#else
    (void)fits0;
    (void)fits1;
#endif
}

std::size_t Searcher::Find(const char16_t* text, std::size_t n, std::size_t from) const {
    if (impossible_ || n < pattern_.size() || from > n - pattern_.size()) return npos;
    return find_(*this, text, n, from);
}

std::size_t Searcher::FindScalar(const Searcher& s, const char16_t* text, std::size_t n, std::size_t from) {
    const std::size_t last = n - s.pattern_.size();
    for (std::size_t i = from; i <= last; ++i)
        if (s.MatchesFrom(text + i, 0)) return i;
    return npos;
}

#if defined(__SSE2__)
template <int K0, int K1>
std::size_t Searcher::FindVector(const Searcher& s, const char16_t* text, std::size_t n, std::size_t from) {
    const std::size_t last = n - s.pattern_.size();
    const std::size_t checked = K1 > 0 ? 2 : 1;  // units the vector test already proved
    __m128i a[K0 > 0 ? K0 : 1];
    __m128i b[K1 > 0 ? K1 : 1];
    for (int k = 0; k < K0; ++k) a[k] = _mm_set1_epi16(static_cast<short>(s.first_[k]));
    for (int k = 0; k < K1; ++k) b[k] = _mm_set1_epi16(static_cast<short>(s.second_[k]));

    std::size_t i = from;
    // Each round tests the 8 start positions i .. i+7; it loads units up to i+8.
    while (i + 9 <= n) {
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        __m128i hit = _mm_cmpeq_epi16(v0, a[0]);
        for (int k = 1; k < K0; ++k) hit = _mm_or_si128(hit, _mm_cmpeq_epi16(v0, a[k]));
        if constexpr (K1 > 0) {
            const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 1));
            __m128i hit1 = _mm_cmpeq_epi16(v1, b[0]);
            for (int k = 1; k < K1; ++k) hit1 = _mm_or_si128(hit1, _mm_cmpeq_epi16(v1, b[k]));
            hit = _mm_and_si128(hit, hit1);
        }
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit)) & 0x5555u;
        while (mask) {
            const std::size_t p = i + (static_cast<unsigned>(__builtin_ctz(mask)) >> 1);
            if (p > last) return npos;
            if (s.MatchesFrom(text + p, checked)) return p;
            mask &= mask - 1;
        }
        i += 8;
    }
    for (; i <= last; ++i)
        if (s.MatchesFrom(text + i, 0)) return i;
    return npos;
}
#endif

#if defined(MORATUTOR_HAVE_WIDE_SCAN)
template <int K0, int K1>
__attribute__((target("avx2"))) std::size_t Searcher::FindWide(const Searcher& s, const char16_t* text,
                                                                 std::size_t n, std::size_t from) {
    const std::size_t last = n - s.pattern_.size();
    const std::size_t checked = K1 > 0 ? 2 : 1;
    __m256i a[K0 > 0 ? K0 : 1];
    __m256i b[K1 > 0 ? K1 : 1];
    for (int k = 0; k < K0; ++k) a[k] = _mm256_set1_epi16(static_cast<short>(s.first_[k]));
    for (int k = 0; k < K1; ++k) b[k] = _mm256_set1_epi16(static_cast<short>(s.second_[k]));

    std::size_t i = from;
    // Each round tests the 16 start positions i .. i+15; it loads units up to i+16.
    while (i + 17 <= n) {
        const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i));
        __m256i hit = _mm256_cmpeq_epi16(v0, a[0]);
        for (int k = 1; k < K0; ++k) hit = _mm256_or_si256(hit, _mm256_cmpeq_epi16(v0, a[k]));
        if constexpr (K1 > 0) {
            const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i + 1));
            __m256i hit1 = _mm256_cmpeq_epi16(v1, b[0]);
            for (int k = 1; k < K1; ++k) hit1 = _mm256_or_si256(hit1, _mm256_cmpeq_epi16(v1, b[k]));
            hit = _mm256_and_si256(hit, hit1);
        }
        unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(hit)) & 0x55555555u;
        while (mask) {
            const std::size_t p = i + (static_cast<unsigned>(__builtin_ctz(mask)) >> 1);
            if (p > last) return npos;
            if (s.MatchesFrom(text + p, checked)) return p;
            mask &= mask - 1;
        }
        i += 16;
    }
    for (; i <= last; ++i)
        if (s.MatchesFrom(text + i, 0)) return i;
    return npos;
}
#endif

}  // namespace moratutor::detail

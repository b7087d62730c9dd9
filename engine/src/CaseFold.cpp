#include "CaseFold.h"

#include <unicode/uchar.h>

#include <array>
#include <memory>
#include <vector>

namespace moratutor::detail {
namespace {

constexpr std::size_t kUnits = 0x10000;

struct CaseTables {
    std::array<char16_t, kUnits> upper{};
    // Units grouped by their upper case: those of value v are units[start[v] .. start[v+1]).
    std::array<std::uint32_t, kUnits + 1> start{};
    std::array<char16_t, kUnits> units{};

    CaseTables() {
        for (std::size_t c = 0; c < kUnits; ++c) {
            char16_t mapped = static_cast<char16_t>(c);
            const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
            if (!surrogate) {
                const UChar32 u = u_toupper(static_cast<UChar32>(c));
                if (u >= 0 && u < static_cast<UChar32>(kUnits)) mapped = static_cast<char16_t>(u);
            }
            upper[c] = mapped;
        }
        std::vector<std::uint32_t> count(kUnits, 0);
        for (char16_t u : upper) ++count[u];
        std::uint32_t sum = 0;
        for (std::size_t v = 0; v < kUnits; ++v) {
            start[v] = sum;
            sum += count[v];
        }
        start[kUnits] = sum;
        std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
        for (std::size_t c = 0; c < kUnits; ++c) units[next[upper[c]]++] = static_cast<char16_t>(c);
    }
};

const CaseTables& Tables() {
    // Built once at first use; about 400 KB.
    static const std::unique_ptr<const CaseTables> tables = std::make_unique<const CaseTables>();
    return *tables;
}

}  // namespace

const char16_t* UpperTable() {
    static const char16_t* const table = Tables().upper.data();
    return table;
}

std::span<const char16_t> UnitsWithUpper(char16_t upper) {
    const CaseTables& t = Tables();
    return {t.units.data() + t.start[upper], t.units.data() + t.start[upper + 1u]};
}

}  // namespace moratutor::detail

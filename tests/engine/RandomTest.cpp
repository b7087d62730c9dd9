#include "moratutor/Engine.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace moratutor {
namespace {

std::vector<std::uint32_t> Draws(std::uint64_t seed, std::uint32_t n, int count) {
    SeedRandom(seed);
    std::vector<std::uint32_t> out;
    for (int i = 0; i < count; ++i) out.push_back(RandomBelow(n));
    return out;
}

TEST(Random, SameSeedSameSequence) {
    EXPECT_EQ(Draws(7, 1000, 50), Draws(7, 1000, 50));
    EXPECT_NE(Draws(7, 1000, 50), Draws(8, 1000, 50));
}

// Pinned (checked against a separate implementation of xoshiro256** seeded by splitmix64)
// so that a seed gives the same conversion with every compiler and standard library.
TEST(Random, SeededSequenceIsFixed) {
    EXPECT_EQ(Draws(1, 10, 12), (std::vector<std::uint32_t>{7, 5, 5, 3, 6, 1, 0, 3, 8, 5, 9, 9}));
    SeedRandom(42);
    const std::uint32_t first = RandomBelow(1u << 31);
    const std::uint32_t second = RandomBelow(0xFFFFFFFFu);
    EXPECT_EQ(first, 180094359u);
    EXPECT_EQ(second, 1627707781u);
}

TEST(Random, DrawsStayInRange) {
    SeedRandom(3);
    for (std::uint32_t n : {1u, 2u, 3u, 10u, 1000u, 0x80000001u, 0xFFFFFFFFu})
        for (int i = 0; i < 2000; ++i) ASSERT_LT(RandomBelow(n), n) << n;
}

TEST(Random, ZeroBoundIsRefused) { EXPECT_THROW(RandomBelow(0), std::invalid_argument); }

// Every value of small bounds comes up about equally often (seeded, so not flaky).
TEST(Random, DrawsAreUniform) {
    for (std::uint32_t n : {2u, 3u, 10u}) {
        SeedRandom(99 + n);
        const int draws = 300000;
        std::vector<int> counts(n, 0);
        for (int i = 0; i < draws; ++i) ++counts[RandomBelow(n)];
        const double expected = static_cast<double>(draws) / n;
        for (std::uint32_t v = 0; v < n; ++v)
            EXPECT_NEAR(counts[v], expected, expected * 0.02) << "n " << n << " value " << v;
    }
    // A bound just above 2^31 rejects nearly half of the raw values; a biased reduction
    // would put five eighths of the draws in the lower half.
    SeedRandom(5);
    const std::uint32_t n = 0xC0000000u;
    int low = 0;
    for (int i = 0; i < 100000; ++i) low += RandomBelow(n) < 0x60000000u;
    EXPECT_NEAR(low, 50000, 1000);
}

}  // namespace
}  // namespace moratutor

// The program's one pseudo-random generator: xoshiro256** seeded through splitmix64, so a
// seed gives the same sequence with every compiler and standard library.
#include "moratutor/Engine.h"

#include <chrono>
#include <stdexcept>

namespace moratutor {
namespace {

class Xoshiro256 {
public:
    Xoshiro256() { Seed(ClockSeed()); }

    void Seed(std::uint64_t seed) {
        for (std::uint64_t& word : s_) word = SplitMix(seed);
    }

    std::uint64_t Next() {
        const std::uint64_t result = Rotl(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = Rotl(s_[3], 45);
        return result;
    }

    static std::uint64_t ClockSeed() {
        const auto wall = std::chrono::system_clock::now().time_since_epoch().count();
        const auto mono = std::chrono::steady_clock::now().time_since_epoch().count();
        return static_cast<std::uint64_t>(wall) ^ (static_cast<std::uint64_t>(mono) << 32) ^
               static_cast<std::uint64_t>(mono);
    }

private:
    static std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    static std::uint64_t SplitMix(std::uint64_t& state) {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    std::uint64_t s_[4]{};
};

Xoshiro256& Generator() {
    static Xoshiro256 generator;
    return generator;
}

}  // namespace

void SeedRandom(std::uint64_t seed) { Generator().Seed(seed); }

void SeedRandomFromClock() { Generator().Seed(Xoshiro256::ClockSeed()); }

std::uint32_t RandomBelow(std::uint32_t n) {
    if (n == 0) throw std::invalid_argument("RandomBelow needs a bound of at least 1");
    // Lemire's multiply-and-reject: uniform without modulo bias.
    std::uint64_t product = (Generator().Next() >> 32) * n;
    std::uint32_t low = static_cast<std::uint32_t>(product);
    if (low < n) {
        const std::uint32_t threshold = static_cast<std::uint32_t>(-n) % n;
        while (low < threshold) {
            product = (Generator().Next() >> 32) * n;
            low = static_cast<std::uint32_t>(product);
        }
    }
    return static_cast<std::uint32_t>(product >> 32);
}

}  // namespace moratutor

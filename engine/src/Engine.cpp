// Placeholder so the tree builds; replaced by the real engine.
#include "moratutor/Engine.h"
#include "moratutor/SyllableTable.h"

#include <random>

namespace moratutor {

bool OptionSet::AnyGroup() const {
    for (bool b : Characters) if (b) return true;
    return false;
}

std::u16string StrReplaceUnicode(StepEnvironment&, std::u16string_view Text, std::u16string_view,
                                 std::u16string_view, std::u16string_view, unsigned) {
    return std::u16string(Text);
}

std::u16string StrReplaceWSteps(StepEnvironment& env, std::u16string_view Text, std::u16string_view S,
                                std::u16string_view H, std::u16string_view K) {
    auto r = StrReplaceUnicode(env, Text, S, H, K, rfAllOccurrences | rfCaseInsensitive);
    if (env.StepProgress) env.StepProgress();
    if (env.PumpMessages) env.PumpMessages();
    return r;
}

void ReplaceWithKanaUnicode(StepEnvironment&, const OptionSet&, std::u16string&) {}
std::int32_t GetProgressLength(const OptionSet&) { return 0; }

static std::mt19937_64& Generator() { static std::mt19937_64 g; return g; }
void SeedRandom(std::uint64_t seed) { Generator().seed(seed); }
void SeedRandomFromClock() { Generator().seed(std::random_device{}()); }
std::uint32_t RandomBelow(std::uint32_t n) { return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(Generator()); }

}  // namespace moratutor

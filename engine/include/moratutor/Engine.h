// Public interface of the syllable conversion engine: plain C++, no window.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace moratutor {

// The script a run writes. Stored in one byte.
enum KanaMode : std::uint8_t {
    kmHiragana = 0,
    kmKatakana = 1,
    kmRandomKana = 2,
};

// The thirteen ticks that decide which rows of the syllable table apply.
struct OptionSet {
    std::array<bool, 11> Characters{};  // chkbxCharacters1 .. chkbxCharacters11 at [0] .. [10]
    bool ReplaceE = false;              // chkbxReplaceE
    bool ReplaceSpaces = false;         // chkbxReplaceSpaces

    bool Group(int n) const { return Characters.at(static_cast<std::size_t>(n - 1)); }
    bool AnyGroup() const;              // any of groups 1 to 11
};

// What the replacement step needs from the window that runs it. Callbacks left empty are
// not called; without RandomBelow the step draws from the program's generator below.
struct StepEnvironment {
    bool SnowballMode = false;
    KanaMode CurrentKanaMode = kmHiragana;
    std::int32_t* ReplacementCount = nullptr;                     // raised per replaced occurrence; stops at INT32_MAX
    std::function<std::uint32_t(std::uint32_t n)> RandomBelow;     // uniform in [0, n)
    std::function<void(const std::u16string& text)> ShowProgressText;
    std::function<void()> StepProgress;
    std::function<void()> PumpMessages;
};

enum ReplaceFlags : unsigned {
    rfAllOccurrences = 1,
    rfCaseInsensitive = 2,
};

// Replaces the occurrences of Syllable in Text by Hiragana or Katakana. An empty Syllable
// is refused with std::invalid_argument (it would match everywhere and never advance).
std::u16string StrReplaceUnicode(StepEnvironment& env, std::u16string_view Text,
                                 std::u16string_view Syllable, std::u16string_view Hiragana,
                                 std::u16string_view Katakana, unsigned Flags);

// StrReplaceUnicode with both flags, then one StepProgress and one PumpMessages.
std::u16string StrReplaceWSteps(StepEnvironment& env, std::u16string_view Text,
                                std::u16string_view Syllable, std::u16string_view Hiragana,
                                std::u16string_view Katakana);

// Converts Text in place: one replacement step per table row whose guard holds. Should a
// callback throw, the exception passes through and Text keeps what it held before the call.
void ReplaceWithKanaUnicode(StepEnvironment& env, const OptionSet& options, std::u16string& Text);

// The number of steps ReplaceWithKanaUnicode makes for these options.
std::int32_t GetProgressLength(const OptionSet& options);

// The program's one pseudo-random generator.
void SeedRandom(std::uint64_t seed);
void SeedRandomFromClock();
std::uint32_t RandomBelow(std::uint32_t n);  // uniform in [0, n); n = 0 throws std::invalid_argument

}  // namespace moratutor

// The replacement step, the conversion pass and the progress length.
#include "moratutor/Engine.h"

#include "ReplaceStep.h"
#include "moratutor/SyllableTable.h"

namespace moratutor {
namespace {

void FinishStep(StepEnvironment& env) {
    if (env.StepProgress) env.StepProgress();
    if (env.PumpMessages) env.PumpMessages();
}

}  // namespace

bool OptionSet::AnyGroup() const {
    for (bool ticked : Characters)
        if (ticked) return true;
    return false;
}

std::u16string StrReplaceUnicode(StepEnvironment& env, std::u16string_view Text,
                                 std::u16string_view Syllable, std::u16string_view Hiragana,
                                 std::u16string_view Katakana, unsigned Flags) {
    std::u16string result(Text);
    detail::ReplaceInText(env, result, Syllable, Hiragana, Katakana, Flags);
    return result;
}

std::u16string StrReplaceWSteps(StepEnvironment& env, std::u16string_view Text,
                                std::u16string_view Syllable, std::u16string_view Hiragana,
                                std::u16string_view Katakana) {
    std::u16string result = StrReplaceUnicode(env, Text, Syllable, Hiragana, Katakana,
                                              rfAllOccurrences | rfCaseInsensitive);
    FinishStep(env);
    return result;
}

void ReplaceWithKanaUnicode(StepEnvironment& env, const OptionSet& options, std::u16string& Text) {
    // One working copy for the whole pass, rewritten in place step after step; Text is
    // replaced only when every step has succeeded, so a failure leaves it as it was.
    std::u16string work(Text);
    const std::uint16_t mask = GuardMask(options);
    for (const SyllableRow& row : SyllableTable()) {
        if ((row.Guard & mask) != row.Guard) continue;
        detail::ReplaceInText(env, work, row.Syllable, row.Hiragana, row.Katakana,
                              rfAllOccurrences | rfCaseInsensitive);
        FinishStep(env);
    }
    Text.swap(work);
}

std::int32_t GetProgressLength(const OptionSet& options) {
    const std::int32_t Y = options.Group(11) ? 1 : 0;
    const std::int32_t E = options.ReplaceE ? 1 : 0;
    const bool voiced = options.Group(10);
    const std::int32_t consonant = 5 + 3 * Y + E;
    std::int32_t steps = 0;
    if (options.Group(1)) steps += 5 + E;
    for (int group : {2, 3, 4}) {
        if (!options.Group(group)) continue;
        steps += consonant;
        if (voiced) steps += consonant;
    }
    if (options.Group(5)) steps += consonant;
    if (options.Group(6)) {
        steps += consonant;
        if (voiced) steps += 2 * consonant;
    }
    if (options.Group(7)) steps += consonant;
    if (options.Group(8)) steps += consonant;
    if (options.Group(9)) steps += 6;
    if (options.ReplaceSpaces) steps += 1;
    return steps;
}

}  // namespace moratutor

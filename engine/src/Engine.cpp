// The replacement step, the conversion pass and the progress length.
#include "moratutor/Engine.h"

#include "KeyRecorder.h"
#include "ReplaceStep.h"
#include "moratutor/ConversionKey.h"
#include "moratutor/SyllableTable.h"

#include <limits>
#include <stdexcept>

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

namespace {

// The pass over `work`, rewritten in place step after step; recording the key when
// `recorder` is given.
void RunPass(StepEnvironment& env, const OptionSet& options, std::u16string& work, detail::KeyRecorder* recorder) {
    const std::uint16_t mask = GuardMask(options);
    for (const SyllableRow& row : SyllableTable()) {
        if ((row.Guard & mask) != row.Guard) continue;
        if (recorder) recorder->BeginStep(row);
        detail::ReplaceInText(env, work, row.Syllable, row.Hiragana, row.Katakana,
                              rfAllOccurrences | rfCaseInsensitive, recorder);
        if (recorder) recorder->EndStep();
        FinishStep(env);
    }
}

}  // namespace

void ReplaceWithKanaUnicode(StepEnvironment& env, const OptionSet& options, std::u16string& Text) {
    // One working copy for the whole pass; Text is replaced only when every step has
    // succeeded, so a failure leaves it as it was.
    std::u16string work(Text);
    RunPass(env, options, work, nullptr);
    Text.swap(work);
}

void ReplaceWithKanaUnicode(StepEnvironment& env, const OptionSet& options, std::u16string& Text,
                            AnswerKey& key) {
    // Key offsets are 32-bit to keep the key small; the text never grows in the pass.
    if (Text.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("text too long for an answer key");
    std::u16string work(Text);
    detail::KeyRecorder recorder(Text);
    RunPass(env, options, work, &recorder);
    AnswerKey made = recorder.Finish(work);
    Text.swap(work);
    key.swap(made);
}

const SyllableRow& KeyEntry::TableRow() const { return SyllableTable().at(static_cast<std::size_t>(Row) - 1); }

std::u16string_view KeyEntry::Kana() const {
    const SyllableRow& row = TableRow();
    std::u16string_view kana = Script == kmKatakana ? row.Katakana : row.Hiragana;
    // Only the particle row writes more than it keys: its spaces on either side.
    if (kana.size() > Length) kana = kana.substr((kana.size() - Length) / 2, Length);
    return kana;
}

std::u16string RestoreSource(std::u16string_view converted, const AnswerKey& key) {
    std::u16string out;
    out.reserve(converted.size() + key.size());
    std::size_t rest = 0;
    for (const KeyEntry& e : key) {
        if (e.Offset < rest || e.End() > converted.size())
            throw std::invalid_argument("answer key does not fit the text");
        out.append(converted.substr(rest, e.Offset - rest));
        out.append(e.Source());
        rest = e.End();
    }
    out.append(converted.substr(rest));
    return out;
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

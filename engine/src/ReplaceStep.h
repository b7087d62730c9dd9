// The replacement step on a text the caller owns, so the pass can convert one buffer
// from row to row instead of copying the text at every occurrence.
#pragma once

#include "moratutor/Engine.h"

#include <string>
#include <string_view>

namespace moratutor::detail {

class KeyRecorder;

// What StrReplaceUnicode returns for these arguments, left in `text`. When neither kana is
// longer than the syllable the text is rewritten where it lies; should a callback throw,
// `text` is then left in an unspecified state. A recorder, when given, gets every replaced
// occurrence.
void ReplaceInText(StepEnvironment& env, std::u16string& text, std::u16string_view syllable,
                   std::u16string_view hiragana, std::u16string_view katakana, unsigned flags,
                   KeyRecorder* recorder = nullptr);

// "Замена слога «КА»: 37%", or "Замена пробелов: 5%" for a single space.
std::u16string ProgressText(std::u16string_view pattern, int percent);

}  // namespace moratutor::detail

// What is said for a kana the program wrote, or for a cell of the kana chart: the kana in
// Japanese, the Cyrillic syllable in Russian. A widened space has nothing to say.
#pragma once

#include <optional>

#include "Speaker.h"
#include "moratutor/ConversionKey.h"
#include "moratutor/Engine.h"

namespace moratutor::speech {

// The kana of a key entry, as written (the particle without its spaces), in Japanese.
std::optional<Utterance> KanaUtterance(const moratutor::KeyEntry& entry);
// The text the kana replaced, as it stood there, in Russian.
std::optional<Utterance> SyllableUtterance(const moratutor::KeyEntry& entry);

// The same for a row of the syllable table (1 .. 121) and a script.
std::optional<Utterance> KanaUtterance(int row, moratutor::KanaMode script);
std::optional<Utterance> SyllableUtterance(int row);

}  // namespace moratutor::speech

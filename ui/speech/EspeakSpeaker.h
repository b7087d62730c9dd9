// The speaker of a Debian desktop: espeak-ng's library, whose Japanese voice reads kana and
// whose Russian voice reads the syllables. The library is loaded on first use, not linked:
// without it (package espeak-ng not installed) the program still runs, only mute.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "Speaker.h"

namespace moratutor::speech {

class EspeakSpeaker : public Speaker {
public:
    QString Unavailable() const override;
    void Say(const Utterance& utterance) override;

    // The sound espeak-ng makes for an utterance, made into memory instead of played: for
    // checks on a machine without a sound card. The library serves one process with one
    // kind of output, so a process that has played cannot do this (nullopt), nor the
    // other way round; nullopt too without the library or the voice.
    struct Audio {
        std::vector<std::int16_t> Samples;
        int SampleRate = 0;
    };
    static std::optional<Audio> Synthesise(const Utterance& utterance);
};

}  // namespace moratutor::speech

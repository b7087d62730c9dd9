// The voice the program speaks with, behind a small interface, so that the windows do not
// depend on one speech engine and the tests can listen in.
#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace moratutor::speech {

// What to say and in which language: "ja" for kana, "ru" for a Cyrillic syllable.
struct Utterance {
    QString Text;
    QString Language;
    bool operator==(const Utterance&) const = default;
};

// The package that brings the voice, named in what the user is told when there is none.
inline constexpr const char* kVoicePackage = "espeak-ng";

class Speaker {
public:
    virtual ~Speaker() = default;
    // Empty when the speaker can talk; otherwise what the user is told, in Russian: why not,
    // and the package that brings a voice.
    virtual QString Unavailable() const = 0;
    bool Available() const { return Unavailable().isEmpty(); }
    // Says it without waiting; what was still being said stops. Nothing happens when the
    // speaker is unavailable.
    virtual void Say(const Utterance& utterance) = 0;
};

// The speaker the windows use: espeak-ng's, unless tests set a maker of their own (an empty
// one puts the normal rule back).
std::unique_ptr<Speaker> MakeSpeaker();
void SetSpeakerMaker(std::function<std::unique_ptr<Speaker>()> maker);

}  // namespace moratutor::speech

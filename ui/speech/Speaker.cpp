#include "Speaker.h"

#include "EspeakSpeaker.h"

namespace moratutor::speech {

namespace {

std::function<std::unique_ptr<Speaker>()>& Maker() {
    static std::function<std::unique_ptr<Speaker>()> maker;
    return maker;
}

}  // namespace

std::unique_ptr<Speaker> MakeSpeaker() {
    if (Maker()) return Maker()();
    return std::make_unique<EspeakSpeaker>();
}

void SetSpeakerMaker(std::function<std::unique_ptr<Speaker>()> maker) { Maker() = std::move(maker); }

}  // namespace moratutor::speech

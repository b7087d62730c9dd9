#include "EspeakSpeaker.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <dlfcn.h>

#include <cstddef>
#include <mutex>

namespace moratutor::speech {

namespace {

// The few entry points of libespeak-ng's C interface (espeak_ng.h), declared here so that
// building needs no development package; every enum there is an int.
enum : int { kStatusOk = 0, kOutputSynchronous = 1, kOutputSpeakAudio = 2, kPositionCharacter = 1, kCharsUtf8 = 1 };
enum : int { kEventListTerminated = 0 };
struct EspeakEvent {
    int type;
    // The rest of espeak_EVENT is not read.
};
using SynthCallback = int(short* samples, int count, EspeakEvent* events);

struct Library {
    void (*InitializePath)(const char*) = nullptr;
    int (*Initialize)(void**) = nullptr;
    int (*InitializeOutput)(int, int, const char*) = nullptr;
    int (*GetSampleRate)() = nullptr;
    int (*SetVoiceByName)(const char*) = nullptr;
    int (*Synthesize)(const void*, std::size_t, unsigned, int, unsigned, unsigned, unsigned*, void*) = nullptr;
    int (*Cancel)() = nullptr;
    int (*Synchronize)() = nullptr;
    void (*SetSynthCallback)(SynthCallback*) = nullptr;

    // Found: the library and both voices' files are there, nothing loaded yet. Ready:
    // loaded, no output chosen yet.
    enum class State { Missing, NoVoice, Found, Ready, Playing, Buffering, NoSound };
    State state = State::Missing;
};

template <typename Function>
bool Bind(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    return function != nullptr;
}

bool BindAll(void* handle, Library& l) {
    return Bind(handle, "espeak_ng_InitializePath", l.InitializePath) &&
           Bind(handle, "espeak_ng_Initialize", l.Initialize) &&
           Bind(handle, "espeak_ng_InitializeOutput", l.InitializeOutput) &&
           Bind(handle, "espeak_ng_GetSampleRate", l.GetSampleRate) &&
           Bind(handle, "espeak_ng_SetVoiceByName", l.SetVoiceByName) && Bind(handle, "espeak_ng_Synthesize", l.Synthesize) &&
           Bind(handle, "espeak_ng_Cancel", l.Cancel) && Bind(handle, "espeak_ng_Synchronize", l.Synchronize) &&
           Bind(handle, "espeak_SetSynthCallback", l.SetSynthCallback);
}

// The folders the library and its data stand in on Debian (the library's own multiarch
// folder) and on other systems; ESPEAK_DATA_PATH is the library's own override.
QStringList LibraryFolders() {
    return {QStringLiteral("/usr/lib/" MORATUTOR_MULTIARCH), QStringLiteral("/usr/lib64"), QStringLiteral("/usr/lib"),
            QStringLiteral("/usr/local/lib")};
}

bool VoicesIn(const QString& folder) {
    const QDir data(folder);
    return data.exists(QStringLiteral("ja_dict")) && data.exists(QStringLiteral("ru_dict"));
}

// Looks for the library and the voices' files once per process without loading anything:
// the library brings some thirty others (sound servers, codecs), megabytes the program
// needs only once a word is said.
Library& Probed() {
    static Library library;
    static std::once_flag once;
    std::call_once(once, [] {
        bool found = false, voices = false;
        const QByteArray own = qgetenv("ESPEAK_DATA_PATH");
        if (!own.isEmpty()) voices = VoicesIn(QString::fromLocal8Bit(own) + QStringLiteral("/espeak-ng-data"));
        for (const QString& folder : LibraryFolders()) {
            if (!QFileInfo::exists(folder + QStringLiteral("/libespeak-ng.so.1"))) continue;
            found = true;
            voices = voices || VoicesIn(folder + QStringLiteral("/espeak-ng-data"));
        }
        voices = voices || VoicesIn(QStringLiteral("/usr/share/espeak-ng-data")) ||
                 VoicesIn(QStringLiteral("/usr/local/share/espeak-ng-data"));
        library.state = !found ? Library::State::Missing : voices ? Library::State::Found : Library::State::NoVoice;
    });
    return library;
}

// Loads the library and the voices on first need; both voices must load.
Library& Started() {
    Library& l = Probed();
    if (l.state == Library::State::Found) {
        l.state = Library::State::NoVoice;
        void* handle = dlopen("libespeak-ng.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!handle || !BindAll(handle, l)) return l;
        l.InitializePath(nullptr);
        void* context = nullptr;
        if (l.Initialize(&context) == kStatusOk && l.SetVoiceByName("ja") == kStatusOk && l.SetVoiceByName("ru") == kStatusOk)
            l.state = Library::State::Ready;
    }
    return l;
}

// The library's output, chosen on first use; false when it is taken by the other kind.
bool OutputFor(Library::State wanted) {
    Library& l = Started();
    if (l.state == Library::State::Ready) {
        const int mode = wanted == Library::State::Playing ? kOutputSpeakAudio : kOutputSynchronous;
        l.state = l.InitializeOutput(mode, 0, nullptr) == kStatusOk ? wanted : Library::State::NoSound;
    }
    return l.state == wanted;
}

bool Synthesize(Library& l, const Utterance& utterance) {
    const QByteArray text = utterance.Text.toUtf8();
    if (l.SetVoiceByName(utterance.Language.toLatin1().constData()) != kStatusOk) return false;
    return l.Synthesize(text.constData(), static_cast<std::size_t>(text.size()) + 1, 0, kPositionCharacter, 0, kCharsUtf8,
                        nullptr, nullptr) == kStatusOk;
}

std::vector<std::int16_t>* gBuffer = nullptr;  // where the callback puts the samples

int Collect(short* samples, int count, EspeakEvent*) {
    if (gBuffer && samples && count > 0) gBuffer->insert(gBuffer->end(), samples, samples + count);
    return 0;
}

}  // namespace

QString EspeakSpeaker::Unavailable() const {
    switch (Probed().state) {
        case Library::State::Missing:
        case Library::State::NoVoice:
            return QStringLiteral("Нет голоса, чтобы произнести слог: установите пакет %1 (японский и русский голоса).")
                .arg(QLatin1String(kVoicePackage));
        case Library::State::NoSound:
        case Library::State::Buffering:
            return QStringLiteral("Голос %1 есть, но звук вывести некуда: нет звукового устройства.")
                .arg(QLatin1String(kVoicePackage));
        case Library::State::Found:
        case Library::State::Ready:
        case Library::State::Playing:
            break;
    }
    return {};
}

void EspeakSpeaker::Say(const Utterance& utterance) {
    if (!Available() || !OutputFor(Library::State::Playing)) return;
    Library& l = Probed();
    l.Cancel();
    Synthesize(l, utterance);
}

std::optional<EspeakSpeaker::Audio> EspeakSpeaker::Synthesise(const Utterance& utterance) {
    if (!OutputFor(Library::State::Buffering)) return std::nullopt;
    Library& l = Probed();
    Audio audio;
    audio.SampleRate = l.GetSampleRate();
    gBuffer = &audio.Samples;
    l.SetSynthCallback(&Collect);
    const bool said = Synthesize(l, utterance) && l.Synchronize() == kStatusOk;
    gBuffer = nullptr;
    if (!said) return std::nullopt;
    return audio;
}

}  // namespace moratutor::speech

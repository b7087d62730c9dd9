// moratutor-convert: the conversion engine for batch work and scripts.
#include "CommandLine.h"
#include "ConvertedOutput.h"
#include "FileSizeSignal.h"

#include "moratutor/ConversionKey.h"
#include "moratutor/Engine.h"
#include "moratutor/TextDecoder.h"
#include "moratutor/Utf8.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace moratutor;

constexpr const char* kNoGroup = "Перед преобразованием выберите хотя бы одну группу слогов для замены.";
constexpr const char* kTooLarge = "слишком велик: текст читается не больше 64 МиБ.";

enum class ReadResult { Done, Failed, TooLarge };

// The work was done, on the part of a damaged book that could be read.
constexpr int kDamagedBook = 3;

// Reads everything from the descriptor, but no more than the plain-text limit, so that an
// endless source (/dev/zero, a pipe) is refused instead of filling the memory. Failed with
// errno set.
ReadResult ReadAll(int fd, std::string& out) {
    char buffer[1 << 16];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) return ReadResult::Done;
        if (n < 0) {
            if (errno == EINTR) continue;
            return ReadResult::Failed;
        }
        // Checked before appending, so the buffer never grows past the limit.
        if (out.size() + static_cast<std::size_t>(n) > codecs::kMaxPlainTextBytes) return ReadResult::TooLarge;
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

// A run that stops short: what standard error says and the exit code.
struct Stop {
    int code;
    std::string message;
};

// The whole input, within the plain-text limit.
std::string ReadInput(const std::string& file) {
    std::string bytes;
    if (file == "-") {
        const ReadResult read = ReadAll(STDIN_FILENO, bytes);
        if (read == ReadResult::Failed)
            throw Stop{1, std::string("Cannot read standard input. ") + std::strerror(errno)};
        if (read == ReadResult::TooLarge)
            throw Stop{1, std::string("moratutor-convert: стандартный ввод ") + kTooLarge};
        return bytes;
    }
    // Pipes and other special files are read as they come, as cat reads them.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    const ReadResult read = fd >= 0 ? ReadAll(fd, bytes) : ReadResult::Failed;
    const int error = errno;
    if (fd >= 0) ::close(fd);
    if (read == ReadResult::Failed) throw Stop{1, "Cannot open file \"" + file + "\". " + std::strerror(error)};
    if (read == ReadResult::TooLarge) throw Stop{1, "moratutor-convert: файл \"" + file + "\" " + kTooLarge};
    return bytes;
}

// Books, pages and RTF come through the same reader as in the window; the title names the
// book written, from the input or else from a file name. A book's chapters and notes are in
// its formats, its other details wait in `details` for the output.
std::u16string DecodeInput(std::string bytes, const convert::Settings& settings, std::string& title,
                           converted::SourceFormats& formats, bool& damaged, books::BookInfo& details) {
    std::u16string text;
    try {
        text = convert::IsPlainText(bytes) ? codecs::DecodeText(bytes)
                                           : convert::LoadDocumentText(bytes, &title, &formats, &damaged, &details);
    } catch (const convert::DocumentError& e) {
        throw Stop{1, e.what()};
    }
    // Said before the work, so that it is seen even if the output fails.
    if (damaged) std::cerr << convert::DamagedWarning() << "\n";
    if (title.empty()) title = convert::TitleFromFileName(settings.File);
    if (title.empty()) title = convert::TitleFromFileName(settings.Output);
    return text;
}

// Converts the text in place; with a key file asked for, returns the key as well. A
// formatted book written as one keeps its formatting, carried through the answer key;
// otherwise `formats` is emptied.
std::optional<AnswerKey> Convert(const convert::Settings& settings, StepEnvironment& env, std::u16string& text,
                                 converted::SourceFormats& formats) {
    const bool carryFormats =
        !settings.Output.empty() && settings.EffectiveFormat() != convert::OutputFormat::Txt && !formats.Plain();
    if (!carryFormats) formats = {};
    if (!settings.AnswerKeyFile && !carryFormats) {
        ReplaceWithKanaUnicode(env, settings.Options, text);
        return std::nullopt;
    }
    AnswerKey key;
    ReplaceWithKanaUnicode(env, settings.Options, text, key);
    if (carryFormats) converted::MapToConverted(formats, key);
    if (!settings.AnswerKeyFile) return std::nullopt;
    return key;
}

// The run after the command line is read: input, conversion, key and output. The exit
// status: 0, or kDamagedBook for the part of a damaged book that could be read.
int ConvertAndWrite(const convert::Settings& settings) {
    std::string title;
    converted::SourceFormats formats;
    bool damaged = false;
    books::BookInfo details;
    std::u16string text = DecodeInput(ReadInput(settings.File), settings, title, formats, damaged, details);
    if (settings.Seed)
        SeedRandom(*settings.Seed);
    else
        SeedRandomFromClock();

    std::int32_t replacements = 0;
    std::int64_t steps = 0;
    StepEnvironment env;
    env.SnowballMode = settings.Snowball;
    env.CurrentKanaMode = settings.Kana;
    env.ReplacementCount = &replacements;
    env.RandomBelow = [](std::uint32_t n) { return RandomBelow(n); };
    env.StepProgress = [&steps] { ++steps; };
    std::optional<AnswerKey> key = Convert(settings, env, text, formats);
    try {
        convert::WriteConverted(settings, text, std::move(key), title, formats, details);
    } catch (const convert::DocumentError& e) {
        throw Stop{1, e.what()};
    }
    if (settings.Stats) std::cerr << "replacements=" << replacements << " steps=" << steps << "\n";
    return damaged ? kDamagedBook : 0;
}

int Run(const std::vector<std::string>& args) {
    convert::Settings settings;
    try {
        settings = convert::ParseCommandLine(args);
    } catch (const convert::UsageError& e) {
        std::cerr << "moratutor-convert: " << e.what() << "\n" << convert::kUsage;
        return 2;
    }
    if (settings.Help || settings.Version) {
        const std::string text =
            settings.Help ? std::string(convert::kUsage) + convert::kHelpExample : std::string(convert::kVersion);
        if (!convert::WriteAll(STDOUT_FILENO, text)) {
            std::cerr << "moratutor-convert: не удалось вывести " << (settings.Help ? "справку" : "версию") << ". "
                      << std::strerror(errno) << "\n";
            return 1;
        }
        return 0;
    }
    if (!settings.Options.AnyGroup()) {
        std::cerr << kNoGroup << "\n";
        return 2;
    }
    try {
        return ConvertAndWrite(settings);
    } catch (const Stop& stop) {
        std::cerr << stop.message << "\n";
        return stop.code;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // A write past `ulimit -f` fails with EFBIG and is reported; the old file is kept.
    moratutor::IgnoreFileSizeSignal();
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << "moratutor-convert: " << e.what() << "\n";
        return 1;
    }
}

// moratutor-convert: the conversion engine for batch work and scripts.
#include "AnswerKeyFile.h"
#include "BookOutput.h"
#include "CommandLine.h"

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
#include <vector>

namespace {

using namespace moratutor;

constexpr const char* kNoGroup = "Перед преобразованием выберите хотя бы одну группу слогов для замены.";
constexpr const char* kTooLarge = "слишком велик: текст читается не больше 64 МиБ.";

enum class ReadResult { Done, Failed, TooLarge };

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

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
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
        if (!WriteAll(STDOUT_FILENO, text)) {
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

    std::string bytes;
    if (settings.File == "-") {
        const ReadResult read = ReadAll(STDIN_FILENO, bytes);
        if (read == ReadResult::Failed) {
            std::cerr << "Cannot read standard input. " << std::strerror(errno) << "\n";
            return 1;
        }
        if (read == ReadResult::TooLarge) {
            std::cerr << "moratutor-convert: стандартный ввод " << kTooLarge << "\n";
            return 1;
        }
    } else {
        const int fd = ::open(settings.File.c_str(), O_RDONLY | O_CLOEXEC);
        const ReadResult read = fd >= 0 ? ReadAll(fd, bytes) : ReadResult::Failed;
        const int error = errno;
        if (fd >= 0) ::close(fd);
        if (read == ReadResult::Failed) {
            std::cerr << "Cannot open file \"" << settings.File << "\". " << std::strerror(error) << "\n";
            return 1;
        }
        if (read == ReadResult::TooLarge) {
            std::cerr << "moratutor-convert: файл \"" << settings.File << "\" " << kTooLarge << "\n";
            return 1;
        }
    }

    if (settings.Seed)
        SeedRandom(*settings.Seed);
    else
        SeedRandomFromClock();

    // Books, pages and RTF come through the same reader as in the window.
    // A book's chapters, notes and details wait beside the text for the output.
    std::string title;
    std::u16string text;
    std::optional<convert::LoadedBook> book;
    try {
        if (convert::IsPlainText(bytes)) {
            text = codecs::DecodeText(bytes);
        } else {
            book = convert::LoadBook(bytes);
            text = std::move(book->Text);
            title = book->Info.Title.toStdString();
        }
    } catch (const convert::DocumentError& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    if (title.empty()) title = convert::TitleFromFileName(settings.File);
    if (title.empty()) title = convert::TitleFromFileName(settings.Output);
    bytes.clear();
    bytes.shrink_to_fit();

    std::int32_t replacements = 0;
    std::int64_t steps = 0;
    StepEnvironment env;
    env.SnowballMode = settings.Snowball;
    env.CurrentKanaMode = settings.Kana;
    env.ReplacementCount = &replacements;
    env.RandomBelow = [](std::uint32_t n) { return RandomBelow(n); };
    env.StepProgress = [&steps] { ++steps; };
    std::optional<convert::PendingFile> keyFile;
    if (settings.AnswerKeyFile) {
        AnswerKey key;
        ReplaceWithKanaUnicode(env, settings.Options, text, key);
        // The key is complete on disk before the text goes out, and takes its name only
        // once the text is written too.
        keyFile.emplace(*settings.AnswerKeyFile);
        if (!keyFile->Write(convert::FormatAnswerKey(text, key))) {
            std::cerr << "Cannot write the answer key \"" << *settings.AnswerKeyFile << "\". "
                      << std::strerror(errno) << "\n";
            return 1;
        }
    } else {
        ReplaceWithKanaUnicode(env, settings.Options, text);
    }

    if (!settings.Output.empty()) {
        try {
            convert::WriteDocumentFile(settings.Output, convert::RenderBook(settings.EffectiveFormat(), text, title,
                                                                            book ? &*book : nullptr));
        } catch (const convert::DocumentError& e) {
            std::cerr << e.what() << "\n";
            return 1;
        }
        if (settings.Stats) std::cerr << "replacements=" << replacements << " steps=" << steps << "\n";
        return 0;
    }

    // Nothing is written before the whole text is converted.
    const std::string output = moratutor::codecs::EncodeUtf8(text);
    text.clear();
    if (!WriteAll(STDOUT_FILENO, output)) {
        std::cerr << "Cannot write the converted text. " << std::strerror(errno) << "\n";
        return 1;
    }
    if (keyFile && !keyFile->Commit()) {
        std::cerr << "Cannot write the answer key \"" << *settings.AnswerKeyFile << "\". "
                  << std::strerror(errno) << "\n";
        return 1;
    }
    if (settings.Stats) std::cerr << "replacements=" << replacements << " steps=" << steps << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << "moratutor-convert: " << e.what() << "\n";
        return 1;
    }
}

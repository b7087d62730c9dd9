// The options of moratutor-convert and how they are read from the command line.
#pragma once

#include "DocumentIo.h"
#include "moratutor/Engine.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace moratutor::convert {

struct Settings {
    OptionSet Options;
    bool Snowball = false;
    KanaMode Kana = kmHiragana;
    std::optional<std::uint64_t> Seed;
    bool Stats = false;
    bool Help = false;
    bool Version = false;
    std::string File = "-";  // "-" is standard input
    std::optional<std::string> AnswerKeyFile;

    // Where the converted text goes: standard output when Output is empty.
    std::string Output;
    std::optional<OutputFormat> Format;  // empty: from Output's extension, else txt
    OutputFormat EffectiveFormat() const;
};

// A command line that cannot be used; what() is the one-line reason.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Settings ParseCommandLine(const std::vector<std::string>& args);

// Group numbers 1 to 11, comma-separated, ranges allowed ("1,2,5-9"), or "all".
void ParseGroupList(const std::string& list, OptionSet& options);

extern const char* const kUsage;
extern const char* const kHelpExample;
// "moratutor-convert VERSION" and a line break.
extern const char* const kVersion;

}  // namespace moratutor::convert

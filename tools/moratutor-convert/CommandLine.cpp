#include "CommandLine.h"

#include <charconv>
#include <optional>
#include <utility>

namespace moratutor::convert {

const char* const kUsage =
    "Usage: moratutor-convert [--groups LIST] [--replace-e] [--replace-spaces] [--snowball]\n"
    "                         [--kana hiragana|katakana|random] [--seed N] [--stats]\n"
    "                         [--answer-key KEYFILE] [-o FILE]\n"
    "                         [--format txt|rtf|epub|fb2|fb2.zip|pdf|html] [FILE]\n"
    "       moratutor-convert --help | --version\n";

const char* const kVersion = "moratutor-convert " MORATUTOR_VERSION "\n";

const char* const kHelpExample =
    "\n"
    "Rewrites the chosen Cyrillic syllables of a Russian text in Japanese kana.\n"
    "Reads FILE, or standard input without FILE or with \"-\": plain text, RTF, FB2 (also\n"
    "zipped), EPUB or HTML, whatever the name says. Writes UTF-8 text to standard output, or\n"
    "the file given with --output.\n"
    "\n"
    "  --groups LIST     syllable groups 1 to 11: \"1,2,5-9\" or \"all\"\n"
    "  --replace-e       also replace syllables written with \"е\"\n"
    "  --replace-spaces  replace every space by an ideographic space (U+3000)\n"
    "  --snowball        the further into the text, the more syllables are replaced\n"
    "  --kana MODE       hiragana (the default), katakana or random\n"
    "  --seed N          reproducible Snowball draws and random kana\n"
    "  --stats           print \"replacements=N steps=M\" to standard error\n"
    "  --answer-key KEYFILE\n"
    "                    also write the answer key to KEYFILE (UTF-8): one line per replaced\n"
    "                    syllable, in the order of the output, OFFSET<TAB>LENGTH<TAB>SOURCE;\n"
    "                    OFFSET and LENGTH count code points of the output, SOURCE is the\n"
    "                    input text the kana replaced. Putting every SOURCE back in place of\n"
    "                    its range gives the input again.\n"
    "  -o, --output FILE write FILE instead of standard output; it is replaced only\n"
    "                    once the whole of it is written\n"
    "  --format FORMAT   txt, rtf, epub, fb2, fb2.zip (zipped FB2), pdf or html; the default\n"
    "                    is the one FILE's extension names (.zip: fb2.zip), else txt. Only\n"
    "                    txt goes to standard output\n"
    "  --help            show this text\n"
    "  --version         show the version\n"
    "\n"
    "Exit status: 0 done; 1 the input cannot be read or the output written; 2 a bad\n"
    "command line or no group; 3 a damaged book, converted as far as it could be read\n"
    "(with a warning on standard error).\n"
    "\n"
    "Example:\n"
    "  moratutor-convert --groups 1-4,9 --kana katakana story.txt > story-kana.txt\n"
    "  moratutor-convert --groups 1-5 --snowball book.fb2 -o book-kana.epub\n";

namespace {

int ParseGroupNumber(const std::string& list, const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < 1 || value > 11)
        throw UsageError("bad group list \"" + list + "\": groups are numbers from 1 to 11");
    return value;
}

std::uint64_t ParseSeed(const std::string& text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        throw UsageError("bad seed \"" + text + "\": expected a whole number from 0 to 18446744073709551615");
    return value;
}

KanaMode ParseKana(const std::string& text) {
    if (text == "hiragana") return kmHiragana;
    if (text == "katakana") return kmKatakana;
    if (text == "random") return kmRandomKana;
    throw UsageError("bad kana \"" + text + "\": expected hiragana, katakana or random");
}

}  // namespace

void ParseGroupList(const std::string& list, OptionSet& options) {
    if (list.empty()) return;  // no group: reported as such by the caller
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = list.find(',', start);
        const std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item == "all") {
            options.Characters.fill(true);
        } else {
            const std::size_t dash = item.find('-');
            const int first = ParseGroupNumber(list, item.substr(0, dash));
            const int last = dash == std::string::npos ? first : ParseGroupNumber(list, item.substr(dash + 1));
            if (last < first)
                throw UsageError("bad group list \"" + list + "\": the range " + item + " runs backwards");
            for (int g = first; g <= last; ++g) options.Characters[static_cast<std::size_t>(g - 1)] = true;
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
}

namespace {

// One option of the command line and the way to its value: "--name=value" is the same as
// "--name value".
class Option {
public:
    Option(const std::vector<std::string>& args, std::size_t& index) : args_(args), index_(index), name_(args[index]) {
        if (const std::size_t eq = name_.find('='); name_.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue_ = name_.substr(eq + 1);
            name_.resize(eq);
        }
    }
    const std::string& Name() const { return name_; }
    std::string Value() {
        if (inlineValue_) return *inlineValue_;
        if (index_ + 1 >= args_.size()) throw UsageError("option " + name_ + " needs a value");
        return args_[++index_];
    }
    void NoValue() const {
        if (inlineValue_) throw UsageError("option " + name_ + " takes no value");
    }

private:
    const std::vector<std::string>& args_;
    std::size_t& index_;
    std::string name_;
    std::optional<std::string> inlineValue_;
};

// The options with a value; false for any other.
bool TakeValueOption(Option& option, Settings& settings) {
    const std::string& name = option.Name();
    if (name == "--groups") {
        ParseGroupList(option.Value(), settings.Options);
    } else if (name == "--kana") {
        settings.Kana = ParseKana(option.Value());
    } else if (name == "--seed") {
        settings.Seed = ParseSeed(option.Value());
    } else if (name == "--answer-key") {
        std::string path = option.Value();
        if (path.empty() || path == "-")
            throw UsageError("option --answer-key needs a file name (standard output carries the text)");
        settings.AnswerKeyFile = std::move(path);
    } else if (name == "-o" || name == "--output") {
        settings.Output = option.Value();
        if (settings.Output.empty()) throw UsageError("option " + name + " needs a file name");
    } else if (name == "--format") {
        const std::string format = option.Value();
        settings.Format = ParseOutputFormat(format);
        if (!settings.Format)
            throw UsageError("bad format \"" + format + "\": expected txt, rtf, epub, fb2, fb2.zip, pdf or html");
    } else {
        return false;
    }
    return true;
}

// The options without a value; false for any other.
bool TakeFlag(const Option& option, Settings& settings) {
    const std::string& name = option.Name();
    const std::pair<const char*, bool*> flags[] = {
        {"--replace-e", &settings.Options.ReplaceE}, {"--replace-spaces", &settings.Options.ReplaceSpaces},
        {"--snowball", &settings.Snowball},          {"--stats", &settings.Stats},
        {"--help", &settings.Help},                  {"-h", &settings.Help},
        {"--version", &settings.Version},
    };
    bool* flag = nullptr;
    for (const auto& [text, target] : flags)
        if (name == text) flag = target;
    if (!flag) return false;
    option.NoValue();
    *flag = true;
    return true;
}

}  // namespace

Settings ParseCommandLine(const std::vector<std::string>& args) {
    Settings settings;
    bool haveFile = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || arg == "-" || arg.rfind("-", 0) != 0) {
            if (haveFile) throw UsageError("more than one input file given: \"" + arg + "\"");
            settings.File = arg;
            haveFile = true;
            continue;
        }
        Option option(args, i);
        if (!TakeValueOption(option, settings) && !TakeFlag(option, settings))
            throw UsageError("unknown option " + option.Name());
    }
    if (settings.Output.empty() && settings.EffectiveFormat() != OutputFormat::Txt)
        throw UsageError("only txt goes to standard output: give the file with --output FILE");
    return settings;
}

OutputFormat Settings::EffectiveFormat() const {
    if (Format) return *Format;
    return Output.empty() ? OutputFormat::Txt : FormatFromFileName(Output);
}

}  // namespace moratutor::convert

// Runs the built moratutor-convert as a user would: arguments, standard input, exit code.
#include "FileSizeLimit.h"
#include "moratutor/Engine.h"
#include "moratutor/Utf8.h"

#include <gtest/gtest.h>
#include <unicode/utf16.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::string_literals;

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

class ConverterCli : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "moratutor-cli-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        for (const char* name : {"in", "out", "err", "file", "key", "fifo"}) ::unlink((dir_ + "/" + name).c_str());
        ::rmdir(dir_.c_str());
    }

    std::string Path(const char* name) const { return dir_ + "/" + name; }

    void WriteFile(const std::string& path, const std::string& bytes) const {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Runs the converter with `input` on standard input.
    Outcome Run(const std::vector<std::string>& args, const std::string& input = "",
                const std::string& outputPath = "") {
        WriteFile(Path("in"), input);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, Path("in").c_str(), O_RDONLY, 0);
        const std::string out = outputPath.empty() ? Path("out") : outputPath;
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, Path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> all{MORATUTOR_CONVERT_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        // As from a shell: a test that ignores SIGXFSZ must not hand that on.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGXFSZ);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        pid_t pid = 0;
        Outcome o;
        std::optional<moratutor::test::FileSizeLimit> limit;  // for the child only, which inherits it
        if (fileSizeLimit_ != RLIM_INFINITY) limit.emplace(fileSizeLimit_);
        const int spawned = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
        limit.reset();
        posix_spawnattr_destroy(&attributes);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << argv[0];
            return o;
        }
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        ::waitpid(pid, &status, 0);
        o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (outputPath.empty()) o.out = ReadFile(Path("out"));
        o.err = ReadFile(Path("err"));
        return o;
    }

    std::string dir_;
    rlim_t fileSizeLimit_ = RLIM_INFINITY;  // ulimit -f of the converter run
};

const std::string kNoGroup = "Перед преобразованием выберите хотя бы одну группу слогов для замены.\n";

TEST_F(ConverterCli, RefusalsAndTheirExitCodes) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int code;
        std::string errStart;  // what standard error begins with
        bool usage;            // whether the usage follows
    };
    const Case cases[] = {
        {"no groups", {}, 2, kNoGroup, false},
        {"empty group list", {"--groups", ""}, 2, kNoGroup, false},
        {"only options", {"--replace-spaces", "--replace-e", "--snowball"}, 2, kNoGroup, false},
        {"group 0", {"--groups", "0"}, 2, "moratutor-convert: bad group list \"0\"", true},
        {"group 12", {"--groups", "1,12"}, 2, "moratutor-convert: bad group list \"1,12\"", true},
        {"backward range", {"--groups", "5-3"}, 2, "moratutor-convert: bad group list \"5-3\"", true},
        {"empty item", {"--groups", "1,,2"}, 2, "moratutor-convert: bad group list", true},
        {"not a number", {"--groups", "x"}, 2, "moratutor-convert: bad group list", true},
        {"missing value", {"--groups"}, 2, "moratutor-convert: option --groups needs a value", true},
        {"bad kana", {"--groups", "1", "--kana", "romaji"}, 2, "moratutor-convert: bad kana \"romaji\"", true},
        {"bad seed", {"--groups", "1", "--seed", "-4"}, 2, "moratutor-convert: bad seed \"-4\"", true},
        {"unknown option", {"--groups", "1", "--fast"}, 2, "moratutor-convert: unknown option --fast", true},
        {"flag with a value", {"--groups=1", "--stats=yes"}, 2, "moratutor-convert: option --stats takes no value", true},
        {"two files", {"--groups", "1", "a", "b"}, 2, "moratutor-convert: more than one input file", true},
        {"key to standard output", {"--groups", "1", "--answer-key", "-"}, 2,
         "moratutor-convert: option --answer-key needs a file name", true},
        {"key in a missing folder", {"--groups", "1", "--answer-key", "/nonexistent/k.tsv"}, 1,
         "Cannot write the answer key \"/nonexistent/k.tsv\". No such file or directory\n", false},
        {"key to a FIFO", {"--groups", "1", "--answer-key", Path("fifo")}, 1,
         "Cannot write the answer key \"" + Path("fifo") + "\": not a regular file\n", false},
        {"missing file", {"--groups", "1", "/nonexistent/x.txt"}, 1,
         "Cannot open file \"/nonexistent/x.txt\". No such file or directory\n", false},
        {"a folder", {"--groups", "1", "/"}, 1, "Cannot open file \"/\". Is a directory\n", false},
    };
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome o = Run(c.args, "ка");
        EXPECT_EQ(o.code, c.code);
        EXPECT_EQ(o.out, "");  // nothing is written when the run fails
        EXPECT_EQ(o.err.substr(0, c.errStart.size()), c.errStart) << o.err;
        EXPECT_EQ(o.err.find("Usage: moratutor-convert") != std::string::npos, c.usage) << o.err;
        if (!c.usage) {
            EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << "one line: " << o.err;
        }
    }
    struct stat fifo {};
    EXPECT_TRUE(::lstat(Path("fifo").c_str(), &fifo) == 0 && S_ISFIFO(fifo.st_mode));
}

// A full disk must not pass for success.
TEST_F(ConverterCli, OutputThatCannotBeWrittenFails) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    const Outcome o = Run({"--groups", "1", "--stats"}, "ааа", "/dev/full");
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.err, "Cannot write the converted text. No space left on device\n");
}

TEST_F(ConverterCli, HelpThatCannotBeWrittenFailsWithAWord) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    const Outcome o = Run({"--help"}, "", "/dev/full");
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.err, "moratutor-convert: не удалось вывести справку. No space left on device\n");
}

// Plain text is read up to 64 MiB; an endless source must not fill the memory.
TEST_F(ConverterCli, EndlessOrEnormousInputIsRefused) {
    const std::string tooLarge = " слишком велик: текст читается не больше 64 МиБ.\n";
    const std::size_t limit = std::size_t{64} << 20;
    WriteFile(Path("file"), "");
    ASSERT_EQ(::truncate(Path("file").c_str(), static_cast<off_t>(limit + 1)), 0);  // sparse
    for (const std::string& file : {Path("file"), "/dev/zero"s}) {
        const Outcome o = Run({"--groups", "1", file});
        EXPECT_EQ(o.code, 1) << file;
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.err, "moratutor-convert: файл \"" + file + "\"" + tooLarge);
    }
    const Outcome o = Run({"--groups", "1"}, std::string(limit + 1, 'a'));
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.err, "moratutor-convert: стандартный ввод" + tooLarge);
}

TEST_F(ConverterCli, HelpShowsUsageAndExample) {
    const Outcome o = Run({"--help"});
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.out.rfind("Usage: moratutor-convert [--groups LIST]", 0), 0u);
    EXPECT_NE(o.out.find("Example:\n  moratutor-convert "), std::string::npos);
    EXPECT_EQ(o.err, "");
}

TEST_F(ConverterCli, VersionNamesTheProjectVersion) {
    const struct {
        std::vector<std::string> args;
        const char* stdoutPath;
        int code;
        std::string out;
        std::string errStart;
    } cases[] = {
        {{"--version"}, nullptr, 0, "moratutor-convert " MORATUTOR_VERSION "\n", ""},
        {{"--groups", "1", "--version", "no-such-file"}, nullptr, 0, "moratutor-convert " MORATUTOR_VERSION "\n", ""},
        {{"--version=1"}, nullptr, 2, "", "moratutor-convert: option --version takes no value\n"},
        {{"--version"}, "/dev/full", 1, "", "moratutor-convert: не удалось вывести версию. No space left on device\n"},
    };
    for (const auto& c : cases) {
        if (c.stdoutPath && ::access(c.stdoutPath, W_OK) != 0) continue;
        const Outcome o = c.stdoutPath ? Run(c.args, "", c.stdoutPath) : Run(c.args);
        EXPECT_EQ(o.code, c.code) << c.args.back();
        if (!c.stdoutPath) {
            EXPECT_EQ(o.out, c.out);
        }
        EXPECT_EQ(o.err.rfind(c.errStart, 0), 0u) << o.err;
        if (c.errStart.empty()) {
            EXPECT_EQ(o.err, "");
        }
    }
}

TEST_F(ConverterCli, ConvertsWithOptionsAndReportsStats) {
    struct Case {
        std::vector<std::string> args;
        std::string out;
        std::string stats;
    };
    const Case cases[] = {
        {{"--groups", "9", "--stats"}, "Оん думал を んей\r\n", "replacements=3 steps=6\n"},
        {{"--groups=9", "--replace-spaces", "--stats"}, "Оん　думал　を　んей\r\n", "replacements=6 steps=7\n"},
        {{"--groups", "1", "--kana", "katakana", "--stats"}, "オн дウмアл オ ней\r\n", "replacements=4 steps=5\n"},
        {{"--groups", "all", "--replace-e", "--replace-spaces", "--stats"}, "おん　дうまл　を　ねй\r\n",
         "replacements=9 steps=121\n"},
        {{"--groups", "1,5-6,9"}, "おん дうмあл を んей\r\n", ""},
    };
    // The input ends with CR LF, which must come out untouched.
    const std::string input = "Он думал о ней\r\n";
    for (const Case& c : cases) {
        const Outcome o = Run(c.args, input);
        EXPECT_EQ(o.code, 0);
        EXPECT_EQ(o.out, c.out);
        EXPECT_EQ(o.err, c.stats);
    }
}

TEST_F(ConverterCli, DecodesEveryKindOfInputAlike) {
    const std::string utf8 = "Кёто\r\nТокио\n";
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"UTF-8", utf8},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + utf8},
        {"UTF-16 LE", "\xFF\xFE\x1A\x04\x51\x04\x42\x04\x3E\x04\r\0\n\0\x22\x04\x3E\x04\x3A\x04\x38\x04\x3E\x04\n\0"s},
        {"UTF-16 BE", "\xFE\xFF\x04\x1A\x04\x51\x04\x42\x04\x3E\0\r\0\n\x04\x22\x04\x3E\x04\x3A\x04\x38\x04\x3E\0\n"s},
        {"Windows-1251", "\xCA\xB8\xF2\xEE\r\n\xD2\xEE\xEA\xE8\xEE\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(Path("file"), c.bytes);
        for (const std::string& source : {Path("file"), "-"s}) {
            const Outcome o = Run({"--groups", "1,2,4,11", source}, c.bytes);
            EXPECT_EQ(o.code, 0);
            EXPECT_EQ(o.out, "きょと\r\nときお\n");  // UTF-8, no mark, breaks as they came
        }
    }
}

TEST_F(ConverterCli, SeedMakesRunsReproducible) {
    std::string text;
    for (int i = 0; i < 200; ++i) text += "Какая-то сказка о снеге, и гуси на пруду. ";
    const std::vector<std::string> options = {"--groups", "all", "--snowball", "--kana", "random", "--stats"};
    const auto withSeed = [&](const char* seed) {
        std::vector<std::string> args = options;
        args.insert(args.end(), {"--seed", seed});
        return Run(args, text);
    };
    const Outcome a = withSeed("12345"), b = withSeed("12345"), c = withSeed("54321");
    EXPECT_EQ(a.code, 0);
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(a.err, b.err);
    EXPECT_NE(a.out, c.out);
    // Snowball leaves some syllables in place, and random kana writes both scripts.
    EXPECT_NE(a.out.find("ка"), std::string::npos);
    EXPECT_NE(a.out.find("か"), std::string::npos);
    EXPECT_NE(a.out.find("カ"), std::string::npos);
}

}  // namespace

namespace {

std::u32string CodePoints(const std::string& utf8) {
    const std::u16string units = moratutor::codecs::DecodeUtf8(utf8);
    std::u32string out;
    for (std::size_t i = 0; i < units.size();) {
        UChar32 c;
        U16_NEXT(units.data(), i, units.size(), c);
        out += static_cast<char32_t>(c);
    }
    return out;
}

}  // namespace

// Every listed range of the output, put back to its SOURCE, gives the input again; one line
// per replacement that --stats counts.
TEST_F(ConverterCli, AnswerKeyRoundTripsAndCountsTheReplacements) {
    std::string input;
    for (int i = 0; i < 300; ++i)
        input += i % 7 == 0 ? "Он думал о ней, \xF0\x9F\x98\x80 дзюдо\r\n" : "Кёто ПЕ сюда О гяке ня   ";
    const Outcome o = Run({"--groups", "all", "--replace-e", "--replace-spaces", "--snowball", "--kana", "random",
                           "--seed", "7", "--stats", "--answer-key", Path("key")},
                          input);
    ASSERT_EQ(o.code, 0) << o.err;
    const std::string key = ReadFile(Path("key"));
    std::u32string output = CodePoints(o.out);
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    std::vector<std::string> sources;
    std::istringstream lines(key);
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        const std::size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
        ASSERT_NE(tab2, std::string::npos) << line;
        ASSERT_EQ(line.find('\t', tab2 + 1), std::string::npos) << line;
        ranges.emplace_back(std::stoul(line.substr(0, tab1)), std::stoul(line.substr(tab1 + 1, tab2 - tab1 - 1)));
        sources.push_back(line.substr(tab2 + 1));
    }
    EXPECT_EQ(o.err, "replacements=" + std::to_string(count) + " steps=121\n");
    ASSERT_GT(count, 1000u);
    // Backwards, so the earlier offsets still hold.
    for (std::size_t i = ranges.size(); i-- > 0;) {
        ASSERT_LE(ranges[i].first + ranges[i].second, output.size());
        output.replace(ranges[i].first, ranges[i].second, CodePoints(sources[i]));
    }
    EXPECT_TRUE(output == CodePoints(input));
}

// The old key stays whole until a new one and the text are both written.
TEST_F(ConverterCli, AnswerKeyIsKeptWhenTheTextCannotBeWritten) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    WriteFile(Path("key"), "old key\n");
    const Outcome o = Run({"--groups", "1", "--answer-key", Path("key")}, "ааа", "/dev/full");
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(ReadFile(Path("key")), "old key\n");
    const Outcome again = Run({"--groups", "1", "--answer-key", Path("key")}, "ааа");
    EXPECT_EQ(again.code, 0);
    EXPECT_EQ(ReadFile(Path("key")), "0\t1\tа\n1\t1\tа\n2\t1\tа\n");
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "in" || name == "out" || name == "err" || name == "key") << "left behind: " << name;
    }
}

namespace {

// Past the file size limit (ulimit -f) the converter reports the failed write as any other,
// instead of dying of SIGXFSZ, and keeps the old file.
TEST_F(ConverterCli, TheFileSizeLimitIsAFailedWrite) {
    std::string input;
    for (int i = 0; i < 200; ++i) input += "кака ";
    const std::string old = "the old text\n";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string outputPath;  // standard output, when given
        std::string err;
        std::string kept;  // the file that must keep its old bytes
    };
    const Case cases[] = {
        {"-o", {"--groups", "2", "-o", Path("file")}, "", "Failed to Save Stream. File too large\n", Path("file")},
        {"standard output", {"--groups", "2"}, Path("file"), "Cannot write the converted text. File too large\n", ""},
        {"the key", {"--groups", "2", "--answer-key", Path("key")}, "",
         "Cannot write the answer key \"" + Path("key") + "\". File too large\n", Path("key")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(Path("file"), old);
        WriteFile(Path("key"), old);
        fileSizeLimit_ = 500;
        const Outcome o = Run(c.args, input, c.outputPath);
        fileSizeLimit_ = RLIM_INFINITY;
        EXPECT_EQ(o.code, 1);
        EXPECT_EQ(o.err, c.err);
        if (!c.kept.empty()) {
            EXPECT_EQ(ReadFile(c.kept), old);
        }
    }
}

// Input from a pipe is read as it comes, as cat reads it.
TEST_F(ConverterCli, ReadsAFifoGivenAsTheFile) {
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    std::thread writer([this] { WriteFile(Path("fifo"), "кака"); });
    const Outcome o = Run({"--groups", "2", Path("fifo")});
    writer.join();
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "かか");
}

}  // namespace

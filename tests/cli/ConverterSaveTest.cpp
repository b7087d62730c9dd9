// The converter's text and answer key on a failing or hostile disk, run in this process so
// that its saves can be failed through common/SaveCalls.h.
#include <gtest/gtest.h>

#include "ConvertedOutput.h"
#include "SaveCalls.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace moratutor;

constexpr uid_t kNobody = 65534;
const std::string kOld = "the old bytes, longer than the new ones\n";
const std::string kNewKey = "0\t1\tка\n1\t1\tка\n";

// Call number `failing` of one kind (counted from 1) fails with `error`, the others pass.
class FailingCall {
public:
    enum class Kind { Sync, Rename };
    FailingCall(Kind kind, int failing, int error) : saved_(detail::CurrentSaveCalls()) {
        detail::SaveCalls& calls = detail::CurrentSaveCalls();
        if (kind == Kind::Sync)
            calls.Sync = [this, failing, error](int fd) {
                return ++count_ == failing ? (errno = error, -1) : saved_.Sync(fd);
            };
        else
            calls.Rename = [this, failing, error](const char* from, const char* to) {
                return ++count_ == failing ? (errno = error, -1) : saved_.Rename(from, to);
            };
    }
    ~FailingCall() { detail::CurrentSaveCalls() = saved_; }
    FailingCall(const FailingCall&) = delete;
    FailingCall& operator=(const FailingCall&) = delete;

private:
    const detail::SaveCalls saved_;
    int count_ = 0;
};

// As another user where the test runs as root, so that folder modes bind; else as is.
bool AsOrdinaryUser(const std::function<bool()>& act) {
    if (::geteuid() != 0) return act();
    const pid_t child = ::fork();
    if (child == 0) ::_exit(::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 && act() ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class ConverterSave : public ::testing::Test {
protected:
    void SetUp() override { ::chmod(dir_.path().toLocal8Bit().constData(), 0777); }  // others write the output
    std::string Path(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }
    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        ::chmod(path.c_str(), 0666);
    }
    static std::string ReadFile(const std::string& path) {
        std::ostringstream out;
        out << std::ifstream(path, std::ios::binary).rdbuf();
        return out.str();
    }
    static std::vector<std::string> Entries(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Writes "かか" to `output` and its key to `keyPath`: the failure's message, or empty.
    static std::string Write(const std::string& output, const std::string& keyPath) {
        convert::Settings settings;
        settings.Output = output;
        settings.AnswerKeyFile = keyPath;
        std::u16string text = u"かか";
        KeyEntry entry;
        entry.Length = 1;
        entry.SourceLength = 2;
        entry.SourceUnits = {u'к', u'а', 0};
        AnswerKey key{entry, entry};
        key[1].Offset = 1;
        try {
            convert::WriteConverted(settings, text, std::move(key), "");
        } catch (const convert::DocumentError& e) {
            return e.what();
        }
        return {};
    }

    QTemporaryDir dir_;
};

// The key is staged first and named last: whichever step fails, nothing is left half done,
// and before the text is in place the old key stays.
TEST_F(ConverterSave, AFailedStepKeepsTheOldFiles) {
    using Kind = FailingCall::Kind;
    struct Case {
        const char* name;
        Kind kind;
        int failing;  // the key is synced first, the text renamed first
        std::string message;
        std::string output, key;  // after the run
    };
    const Case cases[] = {
        {"the key's fsync", Kind::Sync, 1, "Cannot write the answer key \"" + Path("key") + "\". Input/output error",
         kOld, kOld},
        {"the text's fsync", Kind::Sync, 2, "Failed to Save Stream. Input/output error", kOld, kOld},
        {"the text's rename", Kind::Rename, 1, "Failed to Save Stream. Input/output error", kOld, kOld},
        // The text is out; the key that no longer matches it is at least not half written.
        {"the key's rename", Kind::Rename, 2, "Cannot write the answer key \"" + Path("key") + "\". Input/output error",
         "かか", kOld},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(Path("out.txt"), kOld);
        WriteFile(Path("key"), kOld);
        std::string message;
        {
            const FailingCall failing(c.kind, c.failing, EIO);
            message = Write(Path("out.txt"), Path("key"));
        }
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(ReadFile(Path("out.txt")), c.output);
        EXPECT_EQ(ReadFile(Path("key")), c.key);
        EXPECT_EQ(Entries(dir_.path().toStdString()), (std::vector<std::string>{"key", "out.txt"}));
    }
}

// A folder that takes no new file, or refuses the rename, still lets a writable key be
// written over: in place, with room made first.
TEST_F(ConverterSave, AKeyInAFolderThatRefusesNewFilesIsWrittenInPlace) {
    const std::string folder = Path("installed");
    std::filesystem::create_directory(folder);
    struct Case {
        const char* name;
        mode_t folderMode;
        int renameError;
    };
    const Case cases[] = {
        {"no new files", 0555, 0},
        {"no rename", 0777, EPERM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::chmod(folder.c_str(), 0777);
        WriteFile(folder + "/key", kOld);
        WriteFile(Path("out.txt"), kOld);
        ::chmod(folder.c_str(), c.folderMode);
        const bool written = AsOrdinaryUser([&] {
            std::optional<FailingCall> refused;
            if (c.renameError) refused.emplace(FailingCall::Kind::Rename, 2, c.renameError);
            return Write(Path("out.txt"), folder + "/key").empty();
        });
        EXPECT_TRUE(written);
        EXPECT_EQ(ReadFile(folder + "/key"), kNewKey);
        EXPECT_EQ(ReadFile(Path("out.txt")), "かか");
        EXPECT_EQ(Entries(folder), std::vector<std::string>{"key"});
    }
}

// A link someone else planted in a shared sticky folder, at the end of the key's path or on
// the way to it, is not followed: the key and the text stay as they were.
TEST_F(ConverterSave, AKeyThroughALinkPlantedInAStickyFolderIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant a link owned by another user";
    const std::string shared = Path("shared");
    const std::string victim = Path("victim");
    std::filesystem::create_directories(shared);
    std::filesystem::create_directories(victim);
    ::chmod(shared.c_str(), 01777);
    struct Case {
        const char* link;     // in the shared folder
        std::string points;   // where it leads
        const char* keyPath;  // from the shared folder
        std::string reached;  // the file the key would have replaced
    };
    const Case cases[] = {
        {"key", victim + "/key", "key", victim + "/key"},
        {"folder", victim, "folder/key", victim + "/key"},
        {"deeper", Path("."), "deeper/victim/key", victim + "/key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keyPath);
        const std::string link = shared + "/" + c.link;
        ASSERT_EQ(::symlink(c.points.c_str(), link.c_str()), 0);
        ASSERT_EQ(::lchown(link.c_str(), kNobody, kNobody), 0);
        WriteFile(c.reached, kOld);
        WriteFile(Path("out.txt"), kOld);
        const std::string keyPath = shared + "/" + c.keyPath;
        EXPECT_EQ(Write(Path("out.txt"), keyPath),
                  "Cannot write the answer key \"" + keyPath + "\". Permission denied");
        EXPECT_EQ(ReadFile(c.reached), kOld);
        EXPECT_EQ(ReadFile(Path("out.txt")), kOld);
        ::unlink(link.c_str());
    }
    EXPECT_EQ(Entries(victim), std::vector<std::string>{"key"});
}

}  // namespace

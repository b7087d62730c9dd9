// Saving the preferences file: a full disk, planted links, read-only files and folders,
// leftovers of a killed save.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FileSizeLimit.h"
#include "FileSizeSignal.h"
#include "IniFile.h"
#include "SafeFile.h"
#include "SaveCalls.h"

using moratutor::IniFile;

namespace {

constexpr uid_t kNobody = 65534;

using moratutor::test::FileSizeLimit;

class SafeSaveTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString PathOf(const QString& name) const { return dir_.filePath(name); }

    static void WriteBytes(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    static QByteArray ReadBytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    static QStringList Entries(const QString& folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    static bool SaveFlag(const QString& path) {
        IniFile ini(path);
        ini.WriteBool(QStringLiteral("Main"), QStringLiteral("A"), true);
        return ini.Save();
    }

    QTemporaryDir dir_;
};

TEST_F(SafeSaveTest, AFullDiskKeepsTheOldFile) {
    const QString path = PathOf(QStringLiteral("user.ini"));
    const QByteArray old = "[Main]\nA=0\n; a comment long enough to pass the limit\n";
    WriteBytes(path, old);
    bool saved = true;
    {
        const FileSizeLimit limit(8);
        saved = SaveFlag(path);
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(Entries(dir_.path()), QStringList{QStringLiteral("user.ini")});
}

TEST_F(SafeSaveTest, AReadOnlyFileIsRefusedWhoeverRuns) {
    const QString path = PathOf(QStringLiteral("user.ini"));
    WriteBytes(path, "[Main]\nA=0\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    EXPECT_FALSE(SaveFlag(path));
    EXPECT_EQ(ReadBytes(path), QByteArray("[Main]\nA=0\n"));
    EXPECT_EQ(QFileInfo(path).permissions() & QFileDevice::WriteOwner, 0);
    EXPECT_EQ(Entries(dir_.path()), QStringList{QStringLiteral("user.ini")});
}

TEST_F(SafeSaveTest, KeepsTheModeOfTheFileReplaced) {
    const QString path = PathOf(QStringLiteral("user.ini"));
    WriteBytes(path, "[Main]\nA=0\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    ASSERT_TRUE(SaveFlag(path));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// Runs `act` with the rights of an ordinary user: as root in a child process that becomes
// "nobody", otherwise here. Returns what `act` returned.
bool AsOrdinaryUser(const std::function<bool()>& act) {
    if (::geteuid() != 0) return act();
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ok = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 && act();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(SafeSaveTest, AWritableFileInAFolderThatTakesNoNewFilesIsWrittenInPlace) {
    // Ordinary users may pass through the test folder; the inner one is read-only to them.
    ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0755), 0);
    const QString folder = PathOf(QStringLiteral("installed"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/user.ini");
    WriteBytes(path, "; admin's note\r\n[Main]\r\nA=0\r\n; a long tail that the new file is shorter than\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0666), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    const bool saved = AsOrdinaryUser([&] { return SaveFlag(path); });
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_TRUE(saved);
    EXPECT_EQ(ReadBytes(path),
              QByteArray("; admin's note\r\n[Main]\r\nA=1\r\n; a long tail that the new file is shorter than\r\n"));
    EXPECT_EQ(Entries(folder), QStringList{QStringLiteral("user.ini")});
}

TEST_F(SafeSaveTest, ALinkPlantedByAnotherUserIsNotFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant a link owned by another user";
    // A shared sticky folder owned by root, as /tmp is.
    const QString shared = PathOf(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString victim = PathOf(QStringLiteral("victim"));
    WriteBytes(victim, "precious");
    struct LinkCase {
        const char* name;
        QString target;
    };
    const LinkCase cases[] = {{"planted.ini", victim}, {"dangling.ini", PathOf(QStringLiteral("created"))}};
    for (const LinkCase& c : cases) {
        const QByteArray link = QFile::encodeName(shared + QLatin1Char('/') + QLatin1String(c.name));
        ASSERT_EQ(::symlink(QFile::encodeName(c.target).constData(), link.constData()), 0);
        ASSERT_EQ(::lchown(link.constData(), kNobody, kNobody), 0);
        EXPECT_FALSE(SaveFlag(QFile::decodeName(link))) << c.name;
        EXPECT_TRUE(QFileInfo(QFile::decodeName(link)).isSymLink()) << c.name;
    }
    EXPECT_EQ(ReadBytes(victim), QByteArray("precious"));
    EXPECT_FALSE(QFileInfo::exists(PathOf(QStringLiteral("created"))));
    EXPECT_EQ(Entries(shared), QStringList({QStringLiteral("dangling.ini"), QStringLiteral("planted.ini")}));
}

TEST_F(SafeSaveTest, TheUsersOwnLinkIsFollowed) {
    const QString real = PathOf(QStringLiteral("real.ini"));
    WriteBytes(real, "[Main]\nA=0\n");
    const QString link = PathOf(QStringLiteral("user.ini"));
    ASSERT_TRUE(QFile::link(QStringLiteral("real.ini"), link));
    ASSERT_TRUE(SaveFlag(link));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadBytes(real), QByteArray("[Main]\nA=1\n"));
}

TEST_F(SafeSaveTest, LeftoversOfAKilledSaveAreRemovedByTheNextSave) {
    const QString path = PathOf(QStringLiteral("user.ini"));
    WriteBytes(PathOf(QStringLiteral(".user.ini.moratutor-save-Ab12Cd")), "[Main]\nA=");
    WriteBytes(PathOf(QStringLiteral(".other.ini.moratutor-save-Ab12Cd")), "not this save's");
    WriteBytes(PathOf(QStringLiteral(".user.ini.mine")), "the user's own");
    ASSERT_TRUE(SaveFlag(path));
    EXPECT_EQ(Entries(dir_.path()), QStringList({QStringLiteral(".other.ini.moratutor-save-Ab12Cd"),
                                                 QStringLiteral(".user.ini.mine"), QStringLiteral("user.ini")}));
}

// The window tells "cannot create" from "failed part way" by these.
TEST_F(SafeSaveTest, TellsACreateFailureFromAWriteFailure) {
    using Status = moratutor::SaveOutcome::Status;
    const QString path = PathOf(QStringLiteral("a.txt"));
    WriteBytes(path, "old");
    EXPECT_EQ(moratutor::SaveFileSafely(PathOf(QStringLiteral("none/a.txt")), "x").status, Status::CannotCreate);
    EXPECT_EQ(moratutor::SaveFileSafely(dir_.path(), "x").status, Status::CannotCreate);
    moratutor::SaveOutcome full;
    {
        const FileSizeLimit limit(2);
        full = moratutor::SaveFileSafely(path, "new bytes");
    }
    EXPECT_EQ(full.status, Status::WriteFailed);
    EXPECT_FALSE(full.reason.isEmpty());
    EXPECT_EQ(ReadBytes(path), QByteArray("old"));
    const moratutor::SaveOutcome saved = moratutor::SaveFileSafely(path, "new bytes");
    EXPECT_TRUE(saved.Saved());
    EXPECT_EQ(ReadBytes(path), QByteArray("new bytes"));
    EXPECT_EQ(Entries(dir_.path()), QStringList{QStringLiteral("a.txt")});
}

TEST_F(SafeSaveTest, ReadsUpToTheBoundTheHeadChooses) {
    using Status = moratutor::ReadOutcome::Status;
    const QString small = PathOf(QStringLiteral("small"));
    WriteBytes(small, QByteArray(100, 'a'));
    const QString large = PathOf(QStringLiteral("large"));
    WriteBytes(large, "{big}" + QByteArray(200000, 'b'));
    const auto bigWhenBraced = [](QByteArrayView head) { return head.startsWith("{big}") ? 200005 : 100; };
    struct Case {
        QString path;
        std::function<qint64(QByteArrayView)> limitFor;
        Status status;
        qsizetype size;
    };
    const Case cases[] = {
        {small, [](QByteArrayView) { return 100; }, Status::Read, 100},
        {small, [](QByteArrayView) { return 99; }, Status::TooLarge, 0},
        {large, bigWhenBraced, Status::Read, 200005},
        {large, [](QByteArrayView) { return 200004; }, Status::TooLarge, 0},
        {QStringLiteral("/dev/zero"), bigWhenBraced, Status::TooLarge, 0},
        {PathOf(QStringLiteral("absent")), bigWhenBraced, Status::CannotOpen, 0},
    };
    for (const Case& c : cases) {
        const moratutor::ReadOutcome read = moratutor::ReadFileBounded(c.path, c.limitFor);
        EXPECT_EQ(read.status, c.status) << c.path.toStdString();
        EXPECT_EQ(read.bytes.size(), c.size) << c.path.toStdString();
    }
}


// The calls of every save replaced for the scope: a disk on which a file may grow to `cap`
// bytes, and a failing fsync or rename.
class FakeDisk {
public:
    FakeDisk(off_t cap, int syncError, int renameError) : saved_(moratutor::detail::CurrentSaveCalls()) {
        moratutor::detail::SaveCalls& calls = moratutor::detail::CurrentSaveCalls();
        calls.Reserve = [this, cap](int fd, off_t length) { return length > cap ? ENOSPC : saved_.Reserve(fd, length); };
        calls.Write = [cap](int fd, const void* data, size_t size) -> ssize_t {
            const off_t at = ::lseek(fd, 0, SEEK_CUR);
            const size_t room = at < cap ? static_cast<size_t>(cap - at) : 0;
            if (room == 0 && size > 0) return errno = ENOSPC, -1;
            return ::write(fd, data, std::min(size, room));
        };
        if (syncError) calls.Sync = [syncError](int) { return errno = syncError, -1; };
        if (renameError) calls.Rename = [renameError](const char*, const char*) { return errno = renameError, -1; };
    }
    ~FakeDisk() { moratutor::detail::CurrentSaveCalls() = saved_; }
    FakeDisk(const FakeDisk&) = delete;
    FakeDisk& operator=(const FakeDisk&) = delete;

private:
    const moratutor::detail::SaveCalls saved_;
};

TEST_F(SafeSaveTest, EachFailurePointKeepsTheOldFile) {
    using Status = moratutor::SaveOutcome::Status;
    const QByteArray old = "[Main]\nA=0\n";
    const QByteArray fresh = "[Main]\nA=1\n; the new file is longer than the old one\n";
    constexpr off_t kRoomy = 1 << 20;
    struct Case {
        const char* name;
        off_t cap;
        int syncError;
        int renameError;
        Status status;
        QByteArray after;
    };
    const Case cases[] = {
        {"the disk fills part way", 20, 0, 0, Status::WriteFailed, old},
        {"fsync fails", kRoomy, EIO, 0, Status::WriteFailed, old},
        {"the rename fails", kRoomy, 0, EIO, Status::WriteFailed, old},
        {"a shared folder refuses the rename", kRoomy, 0, EPERM, Status::Saved, fresh},
        {"the rename is refused and the disk is full", 20, 0, EACCES, Status::WriteFailed, old},
    };
    const QString path = PathOf(QStringLiteral("user.ini"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(path, old);
        moratutor::SaveOutcome outcome;
        {
            const FakeDisk disk(c.cap, c.syncError, c.renameError);
            outcome = moratutor::SaveFileSafely(path, fresh);
        }
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.reason.isEmpty(), c.status == Status::Saved);
        EXPECT_EQ(ReadBytes(path), c.after);
        EXPECT_EQ(Entries(dir_.path()), QStringList{QStringLiteral("user.ini")});
    }
}

// A save in place first makes room for the new bytes: a full disk or the file size limit
// leave the old ones as they were.
TEST_F(SafeSaveTest, AFullDiskKeepsTheOldFileWrittenInPlace) {
    ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0755), 0);
    const QString folder = PathOf(QStringLiteral("installed"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/notes.txt");
    const QByteArray old(1000, 'o');
    const QByteArray fresh(3000, 'n');
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    struct Case {
        const char* name;
        std::function<bool()> save;
    };
    const Case cases[] = {
        {"a full disk",
         [&] {
             const FakeDisk disk(1500, 0, 0);
             return moratutor::SaveFileSafely(path, fresh).status == moratutor::SaveOutcome::Status::WriteFailed;
         }},
        {"the file size limit",
         [&] {
             const FileSizeLimit limit(1500);
             return moratutor::SaveFileSafely(path, fresh).status == moratutor::SaveOutcome::Status::WriteFailed;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(path, old);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0666), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
        EXPECT_TRUE(AsOrdinaryUser(c.save));
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
        EXPECT_EQ(ReadBytes(path), old);
        EXPECT_EQ(Entries(folder), QStringList{QStringLiteral("notes.txt")});
    }
}

// Another user's writable file in a shared sticky folder: the folder refuses the rename,
// the file is written in place.
TEST_F(SafeSaveTest, AnotherUsersWritableFileInAStickyFolderIsWrittenInPlace) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to save as another user";
    ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0755), 0);
    const QString shared = PathOf(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString path = shared + QStringLiteral("/class.txt");
    WriteBytes(path, "the teacher's old text, longer than the new one");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0666), 0);
    EXPECT_TRUE(AsOrdinaryUser([&] { return moratutor::SaveFileSafely(path, "a pupil's text").Saved(); }));
    EXPECT_EQ(ReadBytes(path), QByteArray("a pupil's text"));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_uid, 0u);  // still the teacher's file
    EXPECT_EQ(Entries(shared), QStringList{QStringLiteral("class.txt")});
}

// Every link on the way is held to the rule, not only the last part of the path.
TEST_F(SafeSaveTest, LinksInTheFoldersOnTheWayAreHeldToTheRule) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant links owned by another user";
    const QString shared = PathOf(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString victim = PathOf(QStringLiteral("victim"));
    ASSERT_TRUE(QDir().mkpath(victim + QStringLiteral("/deep")));
    const QString privateFolder = PathOf(QStringLiteral("private"));
    ASSERT_TRUE(QDir().mkdir(privateFolder));
    ASSERT_EQ(::chmod(QFile::encodeName(privateFolder).constData(), 0755), 0);
    struct Case {
        const char* link;  // from the shared folder, pointing at the victim's folder
        uid_t owner;
        const char* saved;    // the path saved, from the shared folder
        const char* reached;  // where the file lands in the victim's folder when followed
        bool followed;
    };
    const Case cases[] = {
        {"planted", kNobody, "planted/user.ini", "user.ini", false},
        {"planted2", kNobody, "planted2/deep/user.ini", "deep/user.ini", false},
        {"planted3", kNobody, "planted3/deep/../user.ini", "user.ini", false},
        {"own", 0, "own/deep/user.ini", "deep/user.ini", true},
        // In a folder no one else may write to, whoever owns the link.
        {"../private/other", kNobody, "../private/other/deep/user.ini", "deep/user.ini", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.saved);
        const QByteArray link = QFile::encodeName(shared + QLatin1Char('/') + QLatin1String(c.link));
        ASSERT_EQ(::symlink(QFile::encodeName(victim).constData(), link.constData()), 0);
        ASSERT_EQ(::lchown(link.constData(), c.owner, c.owner), 0);
        const moratutor::SaveOutcome outcome = moratutor::SaveFileSafely(shared + QLatin1Char('/') + QLatin1String(c.saved), "x");
        EXPECT_EQ(outcome.Saved(), c.followed) << outcome.reason.toStdString();
        const QString reached = victim + QLatin1Char('/') + QLatin1String(c.reached);
        EXPECT_EQ(QFileInfo::exists(reached), c.followed);
        QFile::remove(reached);
    }
}

TEST_F(SafeSaveTest, ASpecialFileIsNotARegularFile) {
    const QString fifo = PathOf(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {fifo, QStringLiteral("/dev/null")}) {
        const moratutor::SaveOutcome outcome = moratutor::SaveFileSafely(path, "x");
        EXPECT_EQ(outcome.status, moratutor::SaveOutcome::Status::NotRegular);
        EXPECT_EQ(moratutor::SaveFailureMessage(path, outcome, QStringLiteral("Failed to Save Stream")),
                  QStringLiteral("Cannot create file \"%1\": not a regular file").arg(path));
    }
}

// What both programs do at start-up: past the file size limit a save fails and says why,
// the process lives on and the old file is kept.
TEST_F(SafeSaveTest, PastTheFileSizeLimitASaveFailsInsteadOfEndingTheProgram) {
    const QString path = PathOf(QStringLiteral("story.txt"));
    WriteBytes(path, "old");
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL);  // as a program starts
        moratutor::IgnoreFileSizeSignal();
        const rlimit limit{16, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const moratutor::SaveOutcome outcome = moratutor::SaveFileSafely(path, QByteArray(100, 'n'));
        ::_exit(outcome.status == moratutor::SaveOutcome::Status::WriteFailed && outcome.reason == "File too large" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
    EXPECT_EQ(ReadBytes(path), QByteArray("old"));
}

// A save in steps changes nothing before Commit, and leaves nothing behind when dropped at
// any step; bytes after Finish are refused rather than lost silently.
TEST_F(SafeSaveTest, ASaveInStepsTouchesTheFileOnlyAtCommit) {
    const QString path = PathOf(QStringLiteral("story.txt"));
    for (int steps = 1; steps <= 5; ++steps) {  // Begin, Append, Append, Finish, Commit
        SCOPED_TRACE(steps);
        WriteBytes(path, "old");
        {
            moratutor::PendingSave save;
            const std::function<moratutor::SaveOutcome()> step[] = {
                [&] { return save.Begin(path); }, [&] { return save.Append("new "); },
                [&] { return save.Append("pieces"); }, [&] { return save.Finish(); }, [&] { return save.Commit(); }};
            for (int i = 0; i < steps; ++i) EXPECT_TRUE(step[i]().Saved());
            if (steps == 4) {
                EXPECT_EQ(save.Append("late").status, moratutor::SaveOutcome::Status::WriteFailed);
            }
        }
        EXPECT_EQ(ReadBytes(path), steps == 5 ? QByteArray("new pieces") : QByteArray("old"));
        EXPECT_EQ(Entries(dir_.path()), QStringList{QStringLiteral("story.txt")});
    }
}

}  // namespace

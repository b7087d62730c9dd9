#include "SafeFile.h"

#include "SaveCalls.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moratutor {
namespace {

constexpr char kTempMarker[] = ".moratutor-save-";
constexpr int kMaxLinkHops = 40;  // as the kernel allows

QString Reason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

SaveOutcome Failure(SaveOutcome::Status status, int error) { return {status, Reason(error)}; }

// Closes the descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    void Reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes now and tells whether the close succeeded (some file systems report write
    // errors only here); errno is set on failure.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

QByteArray FolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return ".";
    if (slash == 0) return "/";
    return path.left(slash);
}

QByteArray NameOf(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

// Adds the names of `path` to the names still to walk, the first name last.
void PushNames(const QByteArray& path, std::vector<QByteArray>& pending) {
    const QList<QByteArray> names = path.split('/');
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        if (!name->isEmpty() && *name != ".") pending.push_back(*name);
}

// A link in a folder that others may write to is followed only when it belongs to the user
// or to the owner of the folder (the kernel's rule for sticky folders); 0 or EACCES. In a
// folder only its owner writes, no one else can have planted it.
int CheckLinkOwner(const struct stat& link, const QByteArray& folder) {
    struct stat folderInfo {};
    if (::stat(folder.isEmpty() ? "/" : folder.constData(), &folderInfo) != 0) return errno;
    if ((folderInfo.st_mode & (S_IWGRP | S_IWOTH)) == 0) return 0;
    return link.st_uid == ::geteuid() || link.st_uid == folderInfo.st_uid ? 0 : EACCES;
}

int ReadLink(const QByteArray& path, QByteArray& destination) {
    destination = QByteArray(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path.constData(), destination.data(), destination.size());
    if (n < 0) return errno;
    if (n >= destination.size()) return ENAMETOOLONG;
    destination.truncate(n);
    return 0;
}

// Walks the absolute path name by name, following every link on the way (in the folders as
// well as at the end) only as CheckLinkOwner allows. Returns 0 with `target` set to a path
// without links whose last part is not a link (or does not exist yet), or an errno.
int ResolveTarget(const QByteArray& path, QByteArray& target) {
    std::vector<QByteArray> pending;
    PushNames(path, pending);
    QByteArray resolved;  // free of links so far; empty for the root
    int hops = 0;
    while (!pending.empty()) {
        const QByteArray name = pending.back();
        pending.pop_back();
        if (name == "..") {  // lexical, as `resolved` has no links
            resolved.truncate(std::max<qsizetype>(resolved.lastIndexOf('/'), 0));
            continue;
        }
        const QByteArray current = resolved + '/' + name;
        struct stat info {};
        if (::lstat(current.constData(), &info) != 0) {
            if (errno != ENOENT || !pending.empty()) return errno;
            target = current;  // a new file
            return 0;
        }
        if (!S_ISLNK(info.st_mode)) {
            if (!pending.empty() && !S_ISDIR(info.st_mode)) return ENOTDIR;
            resolved = current;
            continue;
        }
        if (++hops > kMaxLinkHops) return ELOOP;
        QByteArray destination;
        if (const int error = CheckLinkOwner(info, resolved)) return error;
        if (const int error = ReadLink(current, destination)) return error;
        if (destination.startsWith('/')) resolved.clear();
        PushNames(destination, pending);
    }
    target = resolved.isEmpty() ? QByteArray("/") : resolved;
    return 0;
}

bool WriteAll(int fd, QByteArrayView bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            detail::CurrentSaveCalls().Write(fd, bytes.data() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += n;
    }
    return true;
}

// Temporary files of a save killed midway: removed when no running save holds their lock.
void RemoveLeftovers(const QByteArray& folder, const QByteArray& name) {
    const QByteArray prefix = '.' + name + kTempMarker;
    DIR* dir = ::opendir(folder.constData());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray entryName(entry->d_name);
        if (!entryName.startsWith(prefix) || entryName.size() != prefix.size() + 6) continue;
        const QByteArray path = folder + '/' + entryName;
        struct stat info {};
        if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) continue;
        Descriptor fd(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (fd.Get() < 0 || ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) continue;
        ::unlink(path.constData());
    }
    ::closedir(dir);
}

// A named temporary file beside the target, locked for as long as it is open; readable, so
// that a refused rename can still copy it in place. On failure tempPath stays empty: the
// name last tried may be another save's file.
int CreateNamedTemp(const QByteArray& folder, const QByteArray& name, mode_t mode, QByteArray& tempPath) {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray suffix(6, '\0');
        for (char& c : suffix) c = kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
        const QByteArray path = folder + "/." + name + kTempMarker + suffix;
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX | LOCK_NB);
            tempPath = path;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

bool FolderRefused(int error) { return error == EACCES || error == EPERM; }

// Errors of a file system that cannot reserve room ahead (glibc's stand-in for fallocate
// needs to read the file): the bytes are then written without that promise.
bool CannotReserve(int error) {
    return error == EOPNOTSUPP || error == EBADF || error == EINVAL || error == ENODEV || error == ESPIPE;
}

// Copies the first `size` bytes of one file to the current place of another; false with
// errno set on failure.
bool CopyAll(int from, int to, qint64 size) {
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (qint64 done = 0; done < size;) {
        const auto want = static_cast<std::size_t>(std::min<qint64>(buffer.size(), size - done));
        const ssize_t n = ::pread(from, buffer.data(), want, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;  // the temporary file shrank: someone else's doing
            return false;
        }
        if (!WriteAll(to, QByteArrayView(buffer.constData(), n))) return false;
        done += n;
    }
    return true;
}

// Writes over the file itself, for a folder that takes no new files or refuses the rename;
// `put` writes the `size` new bytes. Room for every new byte is made first, so a full disk
// or the size limit leaves the old bytes as they were; the size is cut only once the new
// bytes are in. Not atomic: a crash or a failing disk part way through still leaves a mix.
SaveOutcome WriteInPlace(const QByteArray& target, qint64 size, const std::function<bool(int fd)>& put) {
    const int access = ::access(target.constData(), R_OK) == 0 ? O_RDWR : O_WRONLY;
    Descriptor fd(::open(target.constData(), access | O_CLOEXEC | O_NOFOLLOW));
    if (fd.Get() < 0) return Failure(SaveOutcome::Status::CannotCreate, errno);
    if (size > 0) {
        const int error = detail::CurrentSaveCalls().Reserve(fd.Get(), static_cast<off_t>(size));
        if (error != 0 && !CannotReserve(error)) return Failure(SaveOutcome::Status::WriteFailed, error);
    }
    if (!put(fd.Get()) || ::ftruncate(fd.Get(), static_cast<off_t>(size)) != 0 ||
        detail::CurrentSaveCalls().Sync(fd.Get()) != 0 || !fd.Close())
        return Failure(SaveOutcome::Status::WriteFailed, errno);
    return {};
}

// What is known of the file a save replaces.
struct Target {
    QByteArray path;
    QByteArray folder;
    QByteArray name;
    bool exists = false;
    struct stat info {};
    mode_t mode = 0666;  // narrowed by the umask for a new file
};

// Resolves the path and refuses what cannot or must not be replaced.
SaveOutcome FindTarget(const QString& path, Target& target) {
    if (path.isEmpty()) return Failure(SaveOutcome::Status::CannotCreate, ENOENT);
    if (const int error = ResolveTarget(QFile::encodeName(QFileInfo(path).absoluteFilePath()), target.path))
        return Failure(SaveOutcome::Status::CannotCreate, error);
    target.folder = FolderOf(target.path);
    target.name = NameOf(target.path);
    target.exists = ::stat(target.path.constData(), &target.info) == 0;
    if (!target.exists) return {};
    if (S_ISDIR(target.info.st_mode)) return Failure(SaveOutcome::Status::CannotCreate, EISDIR);
    if (!S_ISREG(target.info.st_mode)) return {SaveOutcome::Status::NotRegular, QStringLiteral("not a regular file")};
    // access() answers for read-only mounts and ACLs; the mode bits for root, whom access()
    // lets write anything.
    if (::access(target.path.constData(), W_OK) != 0) return Failure(SaveOutcome::Status::CannotCreate, errno);
    if ((target.info.st_mode & 0222) == 0) return Failure(SaveOutcome::Status::CannotCreate, EACCES);
    target.mode = target.info.st_mode & 07777;
    return {};
}

// A new file beside the target: unnamed where the system can (a save killed midway then
// leaves nothing behind), else named. -1 with errno set when the folder takes none.
int OpenTemporary(const Target& target, QByteArray& tempPath) {
    // An unnamed file is named through /proc at the end; without /proc a named file is used.
    if (::access("/proc/self/fd", X_OK) == 0) {
        const int fd = ::open(target.folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, target.mode);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX | LOCK_NB);  // once named, a cleaner leaves it alone
            return fd;
        }
    }
    return CreateNamedTemp(target.folder, target.name, target.mode, tempPath);
}

// Gives the finished unnamed file a name beside the target; 0 or an errno.
int NameTemporary(int fd, const Target& target, QByteArray& tempPath) {
    const QByteArray procPath = "/proc/self/fd/" + QByteArray::number(fd);
    for (int attempt = 0;; ++attempt) {
        const QByteArray suffix = QByteArray::number(QRandomGenerator::global()->bounded(100000, 1000000));
        tempPath = target.folder + "/." + target.name + kTempMarker + suffix;
        if (::linkat(AT_FDCWD, procPath.constData(), AT_FDCWD, tempPath.constData(), AT_SYMLINK_FOLLOW) == 0) return 0;
        const int error = errno;
        tempPath.clear();
        if (error != EEXIST || attempt == 100) return error;
    }
}

void SyncFolder(const QByteArray& folder) {
    Descriptor folderFd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.Get() >= 0) ::fsync(folderFd.Get());
}

}  // namespace

// What a save in steps has done so far. Failing discards the temporary file at once.
struct PendingSave::State {
    Target target;
    Descriptor fd;
    QByteArray tempPath;  // empty while the file has no name
    bool named = false;   // made with a name, where the system has no unnamed files
    bool inPlace = false;  // the folder takes no new file: the bytes wait in `held`
    QByteArray held;
    qint64 size = 0;
    bool finished = false;
    bool done = false;  // committed, or failed
    SaveOutcome outcome;

    ~State() { Discard(); }
    void Discard() {
        fd.Reset();
        if (!tempPath.isEmpty()) ::unlink(tempPath.constData());
        tempPath.clear();
    }
    SaveOutcome Fail(const SaveOutcome& failure) {
        Discard();
        outcome = failure;
        done = true;
        return outcome;
    }
    SaveOutcome Fail(int error) { return Fail(Failure(SaveOutcome::Status::WriteFailed, error)); }
    // The end of a save, successful or not.
    SaveOutcome End(const SaveOutcome& last) {
        if (!last.Saved()) return Fail(last);
        Discard();
        done = true;
        return last;
    }
};

PendingSave::PendingSave() = default;
PendingSave::~PendingSave() = default;

SaveOutcome PendingSave::Outcome() const {
    if (!state_) return Failure(SaveOutcome::Status::CannotCreate, EBADF);  // never begun
    return state_->outcome;
}

SaveOutcome PendingSave::Begin(const QString& path) {
    state_ = std::make_unique<State>();  // a save begun before is discarded
    State& s = *state_;
    if (const SaveOutcome refused = FindTarget(path, s.target); !refused.Saved()) return s.Fail(refused);
    RemoveLeftovers(s.target.folder, s.target.name);
    s.fd.Reset(OpenTemporary(s.target, s.tempPath));
    if (s.fd.Get() < 0) {
        const int error = errno;
        s.inPlace = s.target.exists && FolderRefused(error);
        return s.inPlace ? SaveOutcome{} : s.Fail(Failure(SaveOutcome::Status::CannotCreate, error));
    }
    s.named = !s.tempPath.isEmpty();
    if (s.target.exists) {
        // Owner and mode of the file replaced; the owner only where allowed.
        [[maybe_unused]] const int ignored = ::fchown(s.fd.Get(), s.target.info.st_uid, s.target.info.st_gid);
        ::fchmod(s.fd.Get(), s.target.mode);
    }
    return {};
}

SaveOutcome PendingSave::Append(QByteArrayView bytes) {
    if (!state_ || state_->done) return Outcome();
    State& s = *state_;
    if (s.finished) return s.Fail(EBADF);  // bytes after Finish would not be on the disk
    if (s.inPlace) {
        s.held.append(bytes.data(), bytes.size());
        return {};
    }
    if (!WriteAll(s.fd.Get(), bytes)) return s.Fail(errno);
    s.size += bytes.size();
    return {};
}

SaveOutcome PendingSave::Finish() {
    if (!state_ || state_->done || state_->finished) return Outcome();
    State& s = *state_;
    if (!s.inPlace && detail::CurrentSaveCalls().Sync(s.fd.Get()) != 0) return s.Fail(errno);
    s.finished = true;
    return {};
}

SaveOutcome PendingSave::Commit() {
    if (const SaveOutcome finished = Finish(); !finished.Saved() || state_->done) return finished;
    State& s = *state_;
    if (s.inPlace)
        return s.End(WriteInPlace(s.target.path, s.held.size(), [&s](int fd) { return WriteAll(fd, s.held); }));
    // Named only now: an unnamed file left by a run killed before this point is no file at all.
    if (!s.named) {
        if (const int error = NameTemporary(s.fd.Get(), s.target, s.tempPath)) return s.Fail(error);
    }
    // Renamed while still open, so the lock keeps cleaners of other saves away until then.
    if (detail::CurrentSaveCalls().Rename(s.tempPath.constData(), s.target.path.constData()) != 0) {
        const int error = errno;
        // Another user's file in a shared sticky folder may be written but not replaced.
        if (!s.target.exists || !FolderRefused(error)) return s.Fail(error);
        ::unlink(s.tempPath.constData());
        s.tempPath.clear();
        const int from = s.fd.Get();
        return s.End(WriteInPlace(s.target.path, s.size, [from, &s](int to) { return CopyAll(from, to, s.size); }));
    }
    s.tempPath.clear();
    s.fd.Close();
    SyncFolder(s.target.folder);  // the rename itself reaches the disk with the folder
    return s.End({});
}

SaveOutcome SaveFileSafely(const QString& path, QByteArrayView bytes) {
    PendingSave save;
    save.Begin(path);
    save.Append(bytes);
    return save.Commit();
}

QString SaveFailureMessage(const QString& path, const SaveOutcome& outcome, const QString& writeError) {
    if (outcome.Saved()) return {};
    if (outcome.status == SaveOutcome::Status::NotRegular)
        return QStringLiteral("Cannot create file \"%1\": %2")
            .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), outcome.reason);
    if (outcome.status == SaveOutcome::Status::CannotCreate)
        return QStringLiteral("Cannot create file \"%1\". %2")
            .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), outcome.reason);
    return writeError;
}

ReadOutcome ReadFileBounded(const QString& path, qint64 maxBytes) {
    return ReadFileBounded(path, [maxBytes](QByteArrayView) { return maxBytes; });
}

ReadOutcome ReadFileBounded(const QString& path, const std::function<qint64(QByteArrayView head)>& limitFor) {
    constexpr qint64 kChunk = 1 << 16;
    ReadOutcome outcome;
    Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        outcome.status = ReadOutcome::Status::CannotOpen;
        outcome.reason = Reason(errno);
        return outcome;
    }
    struct stat info {};
    const bool regular = ::fstat(fd.Get(), &info) == 0 && S_ISREG(info.st_mode);
    qint64 maxBytes = -1;  // chosen once the head is in
    while (true) {
        const qsizetype size = outcome.bytes.size();
        const qint64 want = maxBytes < 0 ? kChunk - size : std::min<qint64>(kChunk, maxBytes + 1 - size);
        // Grown by doubling as usual, but never past the bound.
        if (maxBytes >= 0 && size + want > outcome.bytes.capacity())
            outcome.bytes.reserve(std::min<qint64>(std::max<qint64>(2 * outcome.bytes.capacity(), size + want), maxBytes + 1));
        outcome.bytes.resize(size + want);
        const ssize_t n = ::read(fd.Get(), outcome.bytes.data() + size, static_cast<std::size_t>(want));
        outcome.bytes.resize(size + std::max<ssize_t>(n, 0));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {ReadOutcome::Status::ReadFailed, Reason(errno), {}};
        if (maxBytes < 0 && (n == 0 || outcome.bytes.size() == kChunk)) {
            maxBytes = limitFor(outcome.bytes);
            if (regular && info.st_size <= maxBytes) outcome.bytes.reserve(info.st_size + 1);
        }
        if (n == 0) break;
        if (maxBytes >= 0 && outcome.bytes.size() > maxBytes) return {ReadOutcome::Status::TooLarge, {}, {}};
    }
    if (outcome.bytes.size() > maxBytes) return {ReadOutcome::Status::TooLarge, {}, {}};
    return outcome;
}

namespace detail {

SaveCalls& CurrentSaveCalls() {
    static SaveCalls calls{
        [](int fd, off_t length) { return ::posix_fallocate(fd, 0, length); },
        [](int fd, const void* data, size_t size) { return ::write(fd, data, size); },
        [](int fd) { return ::fsync(fd); },
        [](const char* from, const char* to) { return ::rename(from, to); },
    };
    return calls;
}

}  // namespace detail
}  // namespace moratutor

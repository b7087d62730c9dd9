#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

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

// Follows symbolic links as long as each belongs to the user or to its folder's owner.
// Returns 0 with `target` set to a path that is not a link (or does not exist), or an errno.
int ResolveTarget(QByteArray current, QByteArray& target) {
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat link {};
        if (::lstat(current.constData(), &link) != 0) {
            if (errno != ENOENT) return errno;
            target = current;
            return 0;
        }
        if (!S_ISLNK(link.st_mode)) {
            target = current;
            return 0;
        }
        const QByteArray folder = FolderOf(current);
        struct stat folderInfo {};
        if (::stat(folder.constData(), &folderInfo) != 0) return errno;
        if (link.st_uid != ::geteuid() && link.st_uid != folderInfo.st_uid) return EACCES;
        QByteArray destination(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.constData(), destination.data(), destination.size());
        if (n < 0) return errno;
        if (n >= destination.size()) return ENAMETOOLONG;
        destination.truncate(n);
        current = destination.startsWith('/') ? destination : folder + '/' + destination;
    }
    return ELOOP;
}

bool WriteAll(int fd, QByteArrayView bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, static_cast<std::size_t>(bytes.size() - done));
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

// A named temporary file beside the target, locked for as long as it is open.
int CreateNamedTemp(const QByteArray& folder, const QByteArray& name, mode_t mode, QByteArray& tempPath) {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray suffix(6, '\0');
        for (char& c : suffix) c = kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
        tempPath = folder + "/." + name + kTempMarker + suffix;
        const int fd = ::open(tempPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX | LOCK_NB);
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

bool FolderRefused(int error) { return error == EACCES || error == EPERM; }

// Writes over the file itself, for a folder that takes no new files. Not atomic, but every
// byte is still checked, and the size is cut only once the new bytes are in.
SaveOutcome WriteInPlace(const QByteArray& target, QByteArrayView bytes) {
    Descriptor fd(::open(target.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd.Get() < 0) return Failure(SaveOutcome::Status::CannotCreate, errno);
    if (!WriteAll(fd.Get(), bytes) || ::ftruncate(fd.Get(), bytes.size()) != 0 || ::fsync(fd.Get()) != 0 ||
        !fd.Close())
        return Failure(SaveOutcome::Status::WriteFailed, errno);
    return {};
}

}  // namespace

SaveOutcome SaveFileSafely(const QString& path, QByteArrayView bytes) {
    if (path.isEmpty()) return Failure(SaveOutcome::Status::CannotCreate, ENOENT);
    QByteArray target;
    if (const int error = ResolveTarget(QFile::encodeName(QFileInfo(path).absoluteFilePath()), target))
        return Failure(SaveOutcome::Status::CannotCreate, error);
    const QByteArray folder = FolderOf(target);
    const QByteArray name = NameOf(target);

    struct stat existing {};
    const bool exists = ::stat(target.constData(), &existing) == 0;
    mode_t mode = 0666;  // narrowed by the umask for a new file
    if (exists) {
        if (S_ISDIR(existing.st_mode)) return Failure(SaveOutcome::Status::CannotCreate, EISDIR);
        if (!S_ISREG(existing.st_mode)) return Failure(SaveOutcome::Status::CannotCreate, EINVAL);
        // access() answers for read-only mounts and ACLs; the mode bits for root, whom
        // access() lets write anything.
        if (::access(target.constData(), W_OK) != 0) return Failure(SaveOutcome::Status::CannotCreate, errno);
        if ((existing.st_mode & 0222) == 0) return Failure(SaveOutcome::Status::CannotCreate, EACCES);
        mode = existing.st_mode & 07777;
    }

    RemoveLeftovers(folder, name);

    // An unnamed file first: a save killed midway then leaves nothing behind.
    QByteArray tempPath;
    // It is named through /proc at the end; without /proc a named file is used from the start.
    Descriptor fd(::access("/proc/self/fd", X_OK) == 0
                      ? ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode)
                      : -1);
    const bool unnamed = fd.Get() >= 0;
    if (unnamed)
        ::flock(fd.Get(), LOCK_EX | LOCK_NB);  // once named, a cleaner leaves it alone
    else
        fd.Reset(CreateNamedTemp(folder, name, mode, tempPath));
    if (fd.Get() < 0) {
        const int error = errno;
        if (exists && FolderRefused(error)) return WriteInPlace(target, bytes);
        return Failure(SaveOutcome::Status::CannotCreate, error);
    }

    const auto fail = [&](int error) {
        fd.Reset();
        if (!tempPath.isEmpty()) ::unlink(tempPath.constData());
        return Failure(SaveOutcome::Status::WriteFailed, error);
    };
    if (exists) {
        // Owner and mode of the file replaced; the owner only where allowed.
        [[maybe_unused]] const int ignored = ::fchown(fd.Get(), existing.st_uid, existing.st_gid);
        ::fchmod(fd.Get(), mode);
    }
    if (!WriteAll(fd.Get(), bytes) || ::fsync(fd.Get()) != 0) return fail(errno);
    if (unnamed) {
        // Give the finished file a name beside the target, then rename it like a named one.
        const QByteArray procPath = "/proc/self/fd/" + QByteArray::number(fd.Get());
        for (int attempt = 0;; ++attempt) {
            QByteArray suffix = QByteArray::number(QRandomGenerator::global()->bounded(100000, 1000000));
            tempPath = folder + "/." + name + kTempMarker + suffix;
            if (::linkat(AT_FDCWD, procPath.constData(), AT_FDCWD, tempPath.constData(), AT_SYMLINK_FOLLOW) == 0)
                break;
            const int error = errno;
            tempPath.clear();
            if (error != EEXIST || attempt == 100) return fail(error);
        }
    }
    // Renamed while still open, so the lock keeps cleaners of other saves away until then.
    if (::rename(tempPath.constData(), target.constData()) != 0) return fail(errno);
    fd.Close();
    // The rename itself reaches the disk with the folder.
    Descriptor folderFd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.Get() >= 0) ::fsync(folderFd.Get());
    return {};
}

QString SaveFailureMessage(const QString& path, const SaveOutcome& outcome, const QString& writeError) {
    if (outcome.Saved()) return {};
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

}  // namespace moratutor

// Whole-file reads with a size bound and whole-file saves that either replace a file
// completely or leave it as it was.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>

namespace moratutor {

struct SaveOutcome {
    enum class Status {
        Saved,
        CannotCreate,  // the file cannot be made or replaced at all; nothing was written
        WriteFailed,   // writing the bytes failed part way; the old file is kept
        NotRegular,    // the path names a FIFO, device or socket; nothing was written
    };
    Status status = Status::Saved;
    QString reason;  // the system's words for the cause, empty when saved
    bool Saved() const { return status == Status::Saved; }
};

// Writes the bytes to a temporary file beside the target, makes sure every byte reached the
// disk, and renames it over the target. The old file is kept on any failure and no temporary
// file is left behind.
// - A symbolic link, at the end of the path or in any folder on the way, is followed only
//   when it belongs to the user or to the owner of the folder it lies in (the kernel's rule
//   for sticky folders); a link anyone else planted is refused, dangling or not.
// - An existing file without write permission is refused, also for root.
// - An existing special file (FIFO, device) is refused: "not a regular file".
// - When the folder refuses a temporary file, or refuses the rename (another user's file in
//   a shared sticky folder), but the file itself may be written, the file is written in
//   place: room for the new size is made first, so a full disk or the file size limit keeps
//   the old bytes; a crash or a failing disk during the write itself does not.
// - Where the file system cannot make an unnamed temporary file, the temporary file is named
//   ".<name>.moratutor-save-XXXXXX"; leftovers of a killed save are removed by the next save
//   of the same name.
SaveOutcome SaveFileSafely(const QString& path, QByteArrayView bytes);

// The same save in steps, for content made piece by piece (so that it need not be held
// whole) or that must wait for another file before it takes its name: Begin, Append as
// often as needed, Finish (every byte on the disk), Commit (the rename, or the write in
// place). The rules are SaveFileSafely's, which is this class in one go. The first failure
// is kept: every later step does nothing and answers it, so a caller may check once, at the
// end. Whatever is not committed is discarded with the object, and the target is left as it
// was. In a folder that takes no new file the bytes wait in memory until Commit writes them
// in place.
class PendingSave {
public:
    PendingSave();
    ~PendingSave();
    PendingSave(const PendingSave&) = delete;
    PendingSave& operator=(const PendingSave&) = delete;

    // Resolves the path, refuses what may not be replaced, and opens the temporary file.
    SaveOutcome Begin(const QString& path);
    SaveOutcome Append(QByteArrayView bytes);
    // Makes sure every byte appended reached the disk; the target is still unchanged.
    SaveOutcome Finish();
    // Puts the finished file under its name (finishing it first when need be).
    SaveOutcome Commit();
    // The first failure so far, Saved when there was none.
    SaveOutcome Outcome() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// What the user is told of a save that failed: "Cannot create file "<path>". <reason>"
// when the file could not be made, "Cannot create file "<path>": not a regular file" for a
// special file, writeError when writing it failed; empty when saved.
QString SaveFailureMessage(const QString& path, const SaveOutcome& outcome, const QString& writeError);

struct ReadOutcome {
    enum class Status {
        Read,
        CannotOpen,  // reason says why
        TooLarge,    // more than the bound; reading stopped there
        ReadFailed,  // reason says why
    };
    Status status = Status::Read;
    QString reason;
    QByteArray bytes;
};

// Reads the whole file, but never more than maxBytes + 1 bytes, so that an endless source
// (/dev/zero, a pipe) cannot fill the memory.
ReadOutcome ReadFileBounded(const QString& path, qint64 maxBytes);

// The same with the bound chosen by the file's first bytes (up to 64 KiB, fewer only at the
// end of the file), for formats that allow more than others.
ReadOutcome ReadFileBounded(const QString& path, const std::function<qint64(QByteArrayView head)>& limitFor);

}  // namespace moratutor

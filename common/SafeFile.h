// Whole-file reads with a size bound and whole-file saves that either replace a file
// completely or leave it as it was.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

namespace moratutor {

struct SaveOutcome {
    enum class Status {
        Saved,
        CannotCreate,  // the file cannot be made or replaced at all; nothing was written
        WriteFailed,   // writing the bytes failed part way; the old file is kept
    };
    Status status = Status::Saved;
    QString reason;  // the system's words for the cause, empty when saved
    bool Saved() const { return status == Status::Saved; }
};

// Writes the bytes to a temporary file beside the target, makes sure every byte reached the
// disk, and renames it over the target. The old file is kept on any failure and no temporary
// file is left behind.
// - A symbolic link is followed only when it belongs to the user or to the owner of the
//   folder it lies in (the kernel's rule for sticky folders); a link anyone else planted is
//   refused, dangling or not.
// - An existing file without write permission is refused, also for root.
// - When the folder refuses a temporary file but the file itself may be written, the file is
//   written in place.
// - Where the file system cannot make an unnamed temporary file, the temporary file is named
//   ".<name>.moratutor-save-XXXXXX"; leftovers of a killed save are removed by the next save
//   of the same name.
SaveOutcome SaveFileSafely(const QString& path, QByteArrayView bytes);

// What the user is told of a save that failed: "Cannot create file "<path>". <reason>"
// when the file could not be made, writeError when writing it failed; empty when saved.
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

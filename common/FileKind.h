// What a path names, learnt without opening it.
#pragma once

#include <QString>
#include <QtGlobal>

namespace moratutor {

enum class FileKind {
    Missing,  // or not reachable: the reason says why
    Regular,
    Directory,
    Pipe,     // a named pipe: opening it waits until someone writes to it
    Device,   // opening one may wait, or do what the device does on opening
    Socket,
};

struct PathCheck {
    FileKind kind = FileKind::Missing;
    qint64 size = 0;  // of a regular file
    QString reason;   // the system's words, for a path that is missing
};

// Asks the file system what the path names (links followed), opening nothing: a file that
// is not a regular one can be refused before any open() could block the caller.
PathCheck CheckPath(const QString& path);

}  // namespace moratutor

// The system calls of a save that fail for reasons outside the program (a full disk, a
// refused rename, a disk that cannot flush), gathered so that tests can make them fail.
#pragma once

#include <sys/types.h>

#include <functional>

namespace moratutor::detail {

struct SaveCalls {
    // Makes room for `length` bytes from the start of the file: 0 or an errno value, as
    // posix_fallocate answers.
    std::function<int(int fd, off_t length)> Reserve;
    // As write, fsync and rename: -1 with errno set on failure.
    std::function<ssize_t(int fd, const void* data, size_t size)> Write;
    std::function<int(int fd)> Sync;
    std::function<int(const char* from, const char* to)> Rename;
};

// The calls every save uses; the system's own unless a test replaced them.
SaveCalls& CurrentSaveCalls();

}  // namespace moratutor::detail

// Writes past the file size limit (ulimit -f) as failed writes rather than a killed program.
#pragma once

namespace moratutor {

// Ignores SIGXFSZ, which by default ends a process that writes past RLIMIT_FSIZE: the write
// then fails with EFBIG and is reported as any other failed save, the old file kept.
// Call once at start-up, before any thread is made.
void IgnoreFileSizeSignal();

}  // namespace moratutor

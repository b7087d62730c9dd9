// A debug channel for the window timing tool: when the environment variable
// MORATUTOR_TRACE names a file, the program writes to it, one line each, when the panes,
// the windows and the message boxes are painted, where the named controls are, when the
// event loop stalls and when the busy cursor is on. Times are CLOCK_MONOTONIC nanoseconds.
#pragma once

class QApplication;

namespace moratutor::ui {

void InstallWindowTrace(QApplication& app);
// Writes "<time> <what>" when the channel is open; nothing otherwise.
void TraceNote(const char* what);

}  // namespace moratutor::ui

#include "FileSizeSignal.h"

#include <csignal>

namespace moratutor {

void IgnoreFileSizeSignal() {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGXFSZ, &action, nullptr);
}

}  // namespace moratutor

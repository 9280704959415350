// stop_signals_posix.cpp -- stop signals as flags and a byte in a pipe.
#include "frames/stop_signals_posix.h"

#include <cerrno>
#include <initializer_list>

#include <fcntl.h>
#include <unistd.h>

StopSignals g_stopSignals = {-1, 0, 0};

namespace {

int g_wakePipe[2] = {-1, -1};

void NoteSignal(int signal) {
    const int saved = errno;
    (signal == SIGUSR1 ? g_stopSignals.count : g_stopSignals.stop) = 1;
    const char byte = 0;
    if (write(g_wakePipe[1], &byte, 1) < 0) {
        // the pipe is full, so a wake-up is already pending
    }
    errno = saved;
}

} // namespace

bool InstallStopSignals(bool countOnUsr1) {
    if (pipe2(g_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    g_stopSignals.wakeFd = g_wakePipe[0];
    struct sigaction action = {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1}) {
        if ((signal != SIGUSR1 || countOnUsr1) && sigaction(signal, &action, nullptr) != 0) {
            return false;
        }
    }
    return true;
}

void DrainStopSignals() {
    char bytes[16];
    while (read(g_wakePipe[0], bytes, sizeof bytes) > 0) {
    }
}

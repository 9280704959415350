// stop_signals_posix.h -- the signals that end a Linux front end's run, and the pipe through which
// they wake its wait between frames.
#pragma once

#include <csignal>

struct StopSignals {
    int wakeFd;                  // readable once a signal has come
    volatile sig_atomic_t stop;  // SIGTERM, SIGINT or SIGHUP: a daemon may send any of them
    volatile sig_atomic_t count; // SIGUSR1, where the front end asked for it
};

extern StopSignals g_stopSignals;

// False when the pipe or a handler cannot be had.
bool InstallStopSignals(bool countOnUsr1);
// Empties the pipe after a wake-up.
void DrainStopSignals();

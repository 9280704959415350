// host_state.cpp -- the host's process-wide record and the system's screen-saver-running state.
#include "shell/host_state.h"

static const HostState kInitialHostState = {nullptr, 0,       nullptr, 0, 0,
                                            0,       nullptr, nullptr, 0, nullptr,
                                            nullptr, nullptr, {0, 0},  4, 0xFFFFFFFFu};

HostState g_host = kInitialHostState;

void ResetHostState() {
    g_host = kInitialHostState;
}

BOOL SetScreenSaverRunning(BOOL on) {
    if (!g_host.isWin9x) {
        return FALSE;
    }
    UINT previous = 0;
    return SystemParametersInfoA(SPI_SCREENSAVERRUNNING, on, &previous, 0);
}

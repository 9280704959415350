// sway_support.h -- headless sway for the tests: run as an ordinary system user (it refuses
// root) with a private runtime directory, and the commands that drive it.
#pragma once

#include "programs_posix.h"

#include <string>
#include <vector>

struct HeadlessSway {
    RunningProgram program;
    std::string runtimeDir; // XDG_RUNTIME_DIR: the Wayland socket and the IPC socket
    std::string socket;     // WAYLAND_DISPLAY
    std::string ipc;        // SWAYSOCK
    bool nested = false;
};

// One 1280x720 output at 60 Hz, no bar, no Xwayland. Needs root (useradd, setpriv). With a
// parent, sway runs inside it instead (its wayland backend): each output is a window there, and
// closing that window unplugs the output, which headless sway 1.7 cannot do.
::testing::AssertionResult StartSway(HeadlessSway* sway, const HeadlessSway* parent = nullptr);
void StopSway(HeadlessSway* sway);
// What a client of it needs in its environment.
std::vector<std::string> SwayEnvironment(const HeadlessSway& sway);
// swaymsg's exit code for the command (e.g. "output HEADLESS-1 scale 2"); what it printed in out.
int Swaymsg(const HeadlessSway& sway, const std::string& command, std::string* out = nullptr);

// sway_support.h -- headless sway for the tests (see compositor_support.h) and the commands that
// drive it.
#pragma once

#include "compositor_support.h"

#include <string>
#include <vector>

using HeadlessSway = HeadlessCompositor;

// One 1280x720 output at 60 Hz, no bar, no Xwayland; or, with a parent, nested in it.
inline ::testing::AssertionResult StartSway(HeadlessSway* sway,
                                            const HeadlessSway* parent = nullptr) {
    return StartCompositor(sway, CompositorKind::kSway, {}, parent);
}
inline void StopSway(HeadlessSway* sway) {
    StopCompositor(sway);
}
inline std::vector<std::string> SwayEnvironment(const HeadlessSway& sway) {
    return CompositorEnvironment(sway);
}
// swaymsg's exit code for the command (e.g. "output HEADLESS-1 scale 2"); what it printed in out.
int Swaymsg(const HeadlessSway& sway, const std::string& command, std::string* out = nullptr);

// options.h -- ripplefield-wayland's command line.
#pragma once

#include <cstdint>
#include <string>

#include "text/text.h"

struct WaylandOptions {
    bool window;        // --window: one ordinary window instead of covering the outputs
    std::string output; // --output NAME: that output only; empty for all
    int maxFps;         // --max-fps N: at most N frames a second per surface; 0 for no cap
    bool showFps;
};

// Reads the command line (options take one dash or two; a later one overrides an earlier one).
// On kBad, error holds the one line for stderr.
ParseResult ParseWaylandOptions(int argc, const char* const* argv, WaylandOptions* options,
                                std::string* error);

// What --help prints.
extern const char kWaylandUsage[];
// What --version prints: the program's name and version, one line.
extern const char kWaylandVersion[];

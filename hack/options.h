// options.h -- the display mode's command line: the options every X screen saver display mode
// takes, with one or two dashes, and --delay; and the window they choose.
#pragma once

#include <cstdint>
#include <string>

#include "frames/presenter.h" // PresentChoice
#include "text/text.h"        // ParseResult

struct HackOptions {
    bool root;        // --root: $XSCREENSAVER_WINDOW, else the root window
    bool hasWindowId; // --window-id, which wins over --root
    unsigned long windowId;
    bool hasDelay;          // else the display's refresh period
    long delayMicroseconds; // frame period; 0 for no wait beyond the buffer swap
    bool showFps;
    bool hasPresent; // --present, which wins over RIPPLEFIELD_PRESENT
    PresentChoice present;
};

// Reads the command line in order; a later option overrides an earlier one. On failure error
// holds one line for stderr, the user's text in it as given.
ParseResult ParseHackOptions(int argc, const char* const* argv, HackOptions* options,
                             std::string* error);
// A window id in hex (0x...) or decimal, 1 to 0x1FFFFFFF; false when the text is not one.
bool ParseWindowId(const char* text, unsigned long* id);

enum class HackTarget { kOwnWindow, kRootWindow, kGivenWindow };

// Where to draw: the id of --window-id, else with --root the id in $XSCREENSAVER_WINDOW
// (xscreensaverWindow, null when unset) or the root window, else a window of the program's own.
// False, with one line in error, when the variable holds no window id.
bool ChooseHackTarget(const HackOptions& options, const char* xscreensaverWindow,
                      HackTarget* target, unsigned long* windowId, std::string* error);

// What --help prints.
extern const char kHackUsage[];
// What --version prints: the program's name and version, one line.
extern const char kHackVersion[];

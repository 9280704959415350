// options.cpp -- the display mode's command line and the window it chooses.
#include "hack/options.h"

#include "text/named_choice.h"
#include "text/text.h"
#include "ripplefield_version.h"

#include <cstdint>
#include <cstring>

const char kHackUsage[] =
    "usage: ripplefield [--root | --window | --window-id ID] [--delay MICROSECONDS] [--fps]\n"
    "                   [--present gl|image|auto]\n"
    "  --window         draw in a window of its own (the default)\n"
    "  --root           draw in $XSCREENSAVER_WINDOW, or on the root window without it\n"
    "  --window-id ID   draw in window ID, hex (0x...) or decimal\n"
    "  --delay N        frame period in microseconds, 0 to 10000000; 0 for as fast as the\n"
    "                   display takes them (default: the display's refresh period)\n"
    "  --fps, --no-fps  show or hide frames per second, processor load and the presenter\n"
    "  --present P      gl, image or auto: draw with OpenGL, or on the processor into an X\n"
    "                   image; auto (the default) takes the image where OpenGL is a software\n"
    "                   rasteriser or missing\n"
    "  --version        print the version and exit\n"
    "  --help           print this and exit\n"
    "  --mono --install --noinstall --visual ARG --pair: accepted, no effect\n"
    "Options take one dash or two.\n";

const char kHackVersion[] = "ripplefield " RIPPLEFIELD_VERSION "\n";

namespace {

constexpr long kMaxDelayMicroseconds = 10000000;

bool ParseDelay(const char* text, long* delay, std::string* error) {
    int64_t value = 0;
    if (!ParseInteger(text, Signs::kMinus, 10, &value)) {
        *error = std::string("--delay '") + text + "' is not a number of microseconds";
        return false;
    }
    if (value < 0) {
        *error = std::string("--delay '") + text + "' is negative";
        return false;
    }
    if (value > kMaxDelayMicroseconds) {
        *error = std::string("--delay '") + text + "' is more than 10000000 (10 seconds)";
        return false;
    }
    *delay = static_cast<long>(value);
    return true;
}

// The option's name without its one or two dashes; null when the argument is not an option.
const char* OptionName(const char* argument) {
    if (argument[0] != '-') {
        return nullptr;
    }
    return argument[1] == '-' ? argument + 2 : argument + 1;
}

} // namespace

bool ParseWindowId(const char* text, unsigned long* id) {
    int64_t value = 0;
    const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    // X resource ids have 29 bits.
    if (!ParseInteger(hex ? text + 2 : text, Signs::kNone, hex ? 16 : 10, &value) || value == 0 ||
        value > INT64_C(0x1FFFFFFF)) {
        return false;
    }
    *id = static_cast<unsigned long>(value);
    return true;
}

ParseResult ParseHackOptions(int argc, const char* const* argv, HackOptions* options,
                             std::string* error) {
    *options = HackOptions{};
    for (int i = 1; i < argc; ++i) {
        const char* name = OptionName(argv[i]);
        if (name != nullptr && std::strcmp(name, "version") == 0) {
            return ParseResult::kVersion;
        }
        if (name != nullptr && (std::strcmp(name, "help") == 0 || std::strcmp(name, "h") == 0)) {
            return ParseResult::kHelp;
        }
        const char* const flags[] = {"root",      "window", "mono",   "install",
                                     "noinstall", "fps",    "no-fps", "pair"};
        const char* const valued[] = {"visual", "window-id", "delay", "present"};
        bool flag = false;
        bool takesValue = false;
        for (const char* f : flags) {
            flag = flag || (name != nullptr && std::strcmp(name, f) == 0);
        }
        for (const char* v : valued) {
            takesValue = takesValue || (name != nullptr && std::strcmp(name, v) == 0);
        }
        if (!flag && !takesValue) {
            *error = std::string(name != nullptr ? "unknown option '" : "unexpected argument '") +
                     argv[i] + "' (see --help)";
            return ParseResult::kBad;
        }
        if (flag) {
            if (std::strcmp(name, "root") == 0) {
                options->root = true;
            } else if (std::strcmp(name, "window") == 0) {
                options->root = false;
            } else if (std::strcmp(name, "fps") == 0) {
                options->showFps = true;
            } else if (std::strcmp(name, "no-fps") == 0) {
                options->showFps = false;
            }
            continue; // the rest choose colours and visuals, and the window's own visual is used
        }
        if (i + 1 == argc) {
            *error = std::string(argv[i]) + " needs a value";
            return ParseResult::kBad;
        }
        const char* value = argv[++i];
        if (std::strcmp(name, "window-id") == 0) {
            if (!ParseWindowId(value, &options->windowId)) {
                *error = std::string(argv[i - 1]) + " '" + value + "' is not a window id";
                return ParseResult::kBad;
            }
            options->hasWindowId = true;
        } else if (std::strcmp(name, "delay") == 0) {
            if (!ParseDelay(value, &options->delayMicroseconds, error)) {
                return ParseResult::kBad;
            }
            options->hasDelay = true;
        } else if (std::strcmp(name, "present") == 0) {
            const int found = FindName(value, kPresentChoiceNames, 3);
            if (found < 0) {
                *error = std::string(argv[i - 1]) + " '" + value + "' is not " +
                         ListNames(kPresentChoiceNames, 3);
                return ParseResult::kBad;
            }
            options->hasPresent = true;
            options->present = static_cast<PresentChoice>(found);
        }
    }
    return ParseResult::kRun;
}

bool ChooseHackTarget(const HackOptions& options, const char* xscreensaverWindow,
                      HackTarget* target, unsigned long* windowId, std::string* error) {
    *windowId = 0;
    if (options.hasWindowId) {
        *target = HackTarget::kGivenWindow;
        *windowId = options.windowId;
        return true;
    }
    if (!options.root) {
        *target = HackTarget::kOwnWindow;
        return true;
    }
    if (xscreensaverWindow == nullptr || xscreensaverWindow[0] == '\0') {
        *target = HackTarget::kRootWindow;
        return true;
    }
    if (!ParseWindowId(xscreensaverWindow, windowId)) {
        *error = std::string("XSCREENSAVER_WINDOW '") + xscreensaverWindow + "' is not a window id";
        return false;
    }
    *target = HackTarget::kGivenWindow;
    return true;
}

// options.cpp -- ripplefield-wayland's command line.
#include "wayland/options.h"

#include "text/text.h"
#include "ripplefield_version.h"

#include <cstring>

const char kWaylandUsage[] =
    "usage: ripplefield-wayland [--window] [--output NAME] [--max-fps N] [--fps]\n"
    "  (default)        cover every output until a key, a button or the pointer moves\n"
    "  --window         run in an ordinary window instead; q, Escape or closing it ends it\n"
    "  --output NAME    cover only the output NAME (as the compositor names it, e.g. DP-1)\n"
    "  --max-fps N      at most N frames a second, 1 to 1000 (default: the output's refresh)\n"
    "  --fps            show frames per second, processor load and the presenter\n"
    "  --help           print this and exit\n"
    "  --version        print the version and exit\n"
    "Options take one dash or two.\n";

const char kWaylandVersion[] = "ripplefield-wayland " RIPPLEFIELD_VERSION "\n";

namespace {

constexpr int64_t kMostFps = 1000;

} // namespace

ParseResult ParseWaylandOptions(int argc, const char* const* argv, WaylandOptions* options,
                                std::string* error) {
    *options = WaylandOptions{};
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* name = arg[0] == '-' ? (arg[1] == '-' ? arg + 2 : arg + 1) : nullptr;
        const auto is = [name](const char* option) {
            return name != nullptr && std::strcmp(name, option) == 0;
        };
        if (is("help") || is("h")) {
            return ParseResult::kHelp;
        }
        if (is("version")) {
            return ParseResult::kVersion;
        }
        if (is("window")) {
            options->window = true;
            continue;
        }
        if (is("fps")) {
            options->showFps = true;
            continue;
        }
        if (!is("output") && !is("max-fps")) {
            *error = std::string("unknown option '") + arg + "' (see --help)";
            return ParseResult::kBad;
        }
        if (i + 1 == argc) {
            *error = std::string(arg) + " needs a value";
            return ParseResult::kBad;
        }
        const char* value = argv[++i];
        if (is("output")) {
            if (value[0] == '\0') {
                *error = std::string(arg) + " needs an output's name";
                return ParseResult::kBad;
            }
            options->output = value;
            continue;
        }
        int64_t fps = 0;
        if (!ParseInteger(value, Signs::kNone, 10, &fps) || fps < 1 || fps > kMostFps) {
            *error = std::string(arg) + " '" + value + "' is not a whole number from 1 to 1000";
            return ParseResult::kBad;
        }
        options->maxFps = static_cast<int>(fps);
    }
    return ParseResult::kRun;
}

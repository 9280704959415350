// options.cpp -- ripplefield-wayland's command line and RIPPLEFIELD_FREEZE's value.
#include "wayland/options.h"

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

constexpr int kMostFps = 1000;

// Decimal digits only, at most limit; false for anything else.
bool ParseNumber(const char* text, uint64_t limit, uint64_t* value) {
    if (*text == '\0') {
        return false;
    }
    uint64_t n = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
        n = n * 10 + static_cast<uint64_t>(*p - '0');
        if (n > limit) {
            return false;
        }
    }
    *value = n;
    return true;
}

} // namespace

WaylandParse ParseWaylandOptions(int argc, const char* const* argv, WaylandOptions* options,
                                 std::string* error) {
    *options = WaylandOptions{};
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* name = arg[0] == '-' ? (arg[1] == '-' ? arg + 2 : arg + 1) : nullptr;
        const auto is = [name](const char* option) {
            return name != nullptr && std::strcmp(name, option) == 0;
        };
        if (is("help") || is("h")) {
            return WaylandParse::kHelp;
        }
        if (is("version")) {
            return WaylandParse::kVersion;
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
            return WaylandParse::kBad;
        }
        if (i + 1 == argc) {
            *error = std::string(arg) + " needs a value";
            return WaylandParse::kBad;
        }
        const char* value = argv[++i];
        if (is("output")) {
            if (value[0] == '\0') {
                *error = std::string(arg) + " needs an output's name";
                return WaylandParse::kBad;
            }
            options->output = value;
            continue;
        }
        uint64_t fps = 0;
        if (!ParseNumber(value, kMostFps, &fps) || fps == 0) {
            *error = std::string(arg) + " '" + value + "' is not a whole number from 1 to 1000";
            return WaylandParse::kBad;
        }
        options->maxFps = static_cast<int>(fps);
    }
    return WaylandParse::kRun;
}

bool ParseFreezeValue(const char* text, uint32_t* seed, int32_t* milliseconds) {
    const char* comma = std::strchr(text, ',');
    if (comma == nullptr) {
        return false;
    }
    const std::string seedText(text, comma);
    const bool negative = comma[1] == '-';
    uint64_t seedValue = 0;
    uint64_t ms = 0;
    if (!ParseNumber(seedText.c_str(), UINT32_MAX, &seedValue) ||
        !ParseNumber(comma + (negative ? 2 : 1), negative ? 2147483648u : 2147483647u, &ms)) {
        return false;
    }
    *seed = static_cast<uint32_t>(seedValue);
    *milliseconds =
        static_cast<int32_t>(negative ? -static_cast<int64_t>(ms) : static_cast<int64_t>(ms));
    return true;
}

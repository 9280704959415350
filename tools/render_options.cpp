// render_options.cpp -- ripplefield-render's command line: the options, their checks and the
// usage.
#include "tools/render_options.h"

#include <climits>
#include <cstring>

const char* const kOutputOptions[kOutputKinds] = {"--png", "--cells", "--state"};

const char kUsage[] =
    "usage: ripplefield-render [--size WxH] [--seed N] [--ticks T1,T2,...]\n"
    "                          [--png FILE] [--cells FILE] [--state FILE]\n"
    "Renders one frame per tick value off screen and writes out the last frame.\n"
    "  --size WxH     view size in pixels, each 1 to 16384 (default 1024x768)\n"
    "  --seed N       seed of the random source, 0 to 4294967295 (default 1)\n"
    "  --ticks T,...  millisecond counter of each frame, 32-bit signed (default 700)\n"
    "  --png FILE     the last frame as an 8-bit RGB PNG\n"
    "  --cells FILE   the last frame's cells in drawing order, one 'x y x2 y2 r g b' a line\n"
    "  --state FILE   'time prevTime dt letterbox', then 'i phase rate target chase' a line\n"
    "Exit status: 0 done, 1 no headless context or a failed write, 2 bad arguments.\n";

namespace {

// Reads a whole decimal integer with an optional sign; false when the text is not one.
// Long numbers saturate far outside every accepted range, so the range checks reject them.
bool ParseInteger(const std::string& text, int64_t* value) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative || (!text.empty() && text[0] == '+')) {
        i = 1;
    }
    if (i == text.size()) {
        return false;
    }
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        if (magnitude < INT64_C(1000000000000)) {
            magnitude = magnitude * 10 + (text[i] - '0');
        }
    }
    *value = negative ? -magnitude : magnitude;
    return true;
}

// The comma-separated items of a list, empty ones included.
std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) {
            return items;
        }
        start = comma + 1;
    }
}

bool ParseSize(const std::string& text, Options* options, std::string* error) {
    const size_t cross = text.find('x');
    int64_t width = 0;
    int64_t height = 0;
    if (cross == std::string::npos || !ParseInteger(text.substr(0, cross), &width) ||
        !ParseInteger(text.substr(cross + 1), &height)) {
        *error = "bad --size '" + text + "': expected WxH, e.g. 1024x768";
        return false;
    }
    if (width <= 0 || height <= 0) {
        *error = "bad --size '" + text + "': width and height must be positive";
        return false;
    }
    if (width > kMaxViewSize || height > kMaxViewSize) {
        *error = "bad --size '" + text + "': width and height must not exceed 16384";
        return false;
    }
    options->width = static_cast<int>(width);
    options->height = static_cast<int>(height);
    return true;
}

bool ParseSeed(const std::string& text, Options* options, std::string* error) {
    int64_t seed = 0;
    if (!ParseInteger(text, &seed)) {
        *error = "bad --seed '" + text + "': not a number";
        return false;
    }
    if (seed < 0 || seed > INT64_C(4294967295)) {
        *error = "bad --seed '" + text + "': out of range 0 to 4294967295";
        return false;
    }
    options->seed = static_cast<uint32_t>(seed);
    return true;
}

// A counter reading: a 32-bit signed integer.
bool ParseTick(const char* option, const std::string& text, const std::string& item, int64_t* tick,
               std::string* error) {
    if (!ParseInteger(item, tick)) {
        *error = std::string("bad ") + option + " '" + text + "': '" + item + "' is not a number";
        return false;
    }
    if (*tick < INT32_MIN || *tick > INT32_MAX) {
        *error = std::string("bad ") + option + " '" + text + "': " + item +
                 " is not a 32-bit signed integer";
        return false;
    }
    return true;
}

bool ParseTicks(const std::string& text, Options* options, std::string* error) {
    options->ticks.clear();
    for (const std::string& item : SplitList(text)) {
        int64_t tick = 0;
        if (!ParseTick("--ticks", text, item, &tick, error)) {
            return false;
        }
        options->ticks.push_back(static_cast<int32_t>(tick));
    }
    return true;
}

bool ParseTarget(const char* option, const std::string& path, std::string* target,
                 std::string* error) {
    if (path.empty()) {
        *error = std::string("bad ") + option + ": empty file name";
        return false;
    }
    *target = path;
    return true;
}

// What only the whole command line shows: outputs into one file.
bool CheckCombination(const Options& options, std::string* error) {
    // Two outputs into one file would overwrite each other.
    for (int a = 0; a < kOutputKinds; ++a) {
        for (int b = a + 1; b < kOutputKinds; ++b) {
            if (!options.targets[a].empty() && options.targets[a] == options.targets[b]) {
                *error = std::string(kOutputOptions[a]) + " and " + kOutputOptions[b] +
                         " name the same file '" + options.targets[a] + "'";
                return false;
            }
        }
    }
    return true;
}

} // namespace

ParseResult ParseArguments(int argc, char** argv, Options* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            return kHelpAsked;
        }
        int output = -1;
        for (int k = 0; k < kOutputKinds; ++k) {
            if (option == kOutputOptions[k]) {
                output = k;
            }
        }
        const bool known =
            output >= 0 || option == "--size" || option == "--seed" || option == "--ticks";
        if (!known) {
            *error =
                (option.compare(0, 1, "-") == 0 ? "unknown option '" : "unexpected argument '") +
                option + "' (see --help)";
            return kBadArguments;
        }
        // An option in place of the value means the value was left out.
        if (i + 1 == argc || std::strncmp(argv[i + 1], "--", 2) == 0) {
            *error = "missing value after " + option;
            return kBadArguments;
        }
        const std::string value = argv[++i];
        bool ok = true;
        if (option == "--size") {
            ok = ParseSize(value, options, error);
        } else if (option == "--seed") {
            ok = ParseSeed(value, options, error);
        } else if (option == "--ticks") {
            ok = ParseTicks(value, options, error);
        } else {
            ok = ParseTarget(kOutputOptions[output], value, &options->targets[output], error);
        }
        if (!ok) {
            return kBadArguments;
        }
    }
    return CheckCombination(*options, error) ? kParsed : kBadArguments;
}

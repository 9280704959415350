// render_options.cpp -- ripplefield-render's command line: the options, their checks and the
// usage.
#include "tools/render_options.h"

#include "model/scene.h"
#include "text/text.h"
#include "ripplefield_version.h"

#include <climits>
#include <cstring>

namespace {
const char* const kOutputOptions[kOutputKinds] = {"--png", "--cells", "--state", "--webp"};
const char* const kRendererNames[] = {"picture", "gl"}; // in Renderer's order
} // namespace

const char* OutputOption(OutputKind kind) {
    return kOutputOptions[static_cast<int>(kind)];
}

const std::string& OutputTarget(const Options& options, OutputKind kind) {
    return options.targets[static_cast<int>(kind)];
}

const char kUsage[] =
    "usage: ripplefield-render [--size WxH] [--seed N] [--ticks T1,T2,... | --series T,STEP,N]\n"
    "                          [--png FILE] [--cells FILE] [--state FILE] [--webp FILE]\n"
    "                          [--renderer picture|gl]\n"
    "Renders one frame per tick value off screen and writes out the last frame, or all of them.\n"
    "  --size WxH       view size in pixels, each 1 to 16384 (default 1024x768); at most\n"
    "                   134217728 pixels (2^27) with --renderer gl. Memory: about 4 bytes a\n"
    "                   pixel (1 GiB at 16384x16384), about 37 with --webp\n"
    "  --seed N         seed of the random source, 0 to 4294967295 (default 1)\n"
    "  --ticks T,...    millisecond counter of each frame, 32-bit signed (default 700)\n"
    "  --series T,S,N   N frames (1 to 100000) from counter T in steps of S (32-bit signed)\n"
    "  --png FILE       the last frame as an 8-bit RGB PNG\n"
    "  --cells FILE     the last frame's cells in drawing order, one 'x y x2 y2 r g b' a line\n"
    "  --state FILE     'time prevTime dt letterbox', then 'i phase rate target chase' a line\n"
    "  --webp FILE      every frame as a looping lossless animated WebP (at least two ticks,\n"
    "                   each 1 to 16777215 ms after the one before; size at most 16383x16383);\n"
    "                   a frame lasts until the next tick, the last as long as the one before\n"
    "  --renderer R     picture: draw on the processor (the default); gl: with OpenGL on a\n"
    "                   headless context; the outputs are the same, byte for byte\n"
    "  --version        print the version and exit\n"
    "  --help           print this and exit\n"
    "Exit status: 0 done, 1 no headless context, no memory or a failed write, 2 bad arguments.\n";

const char kVersion[] = "ripplefield " RIPPLEFIELD_VERSION "\n";

namespace {

// A whole decimal integer with an optional sign; false when the text is not one.
bool ParseDecimal(const std::string& text, int64_t* value) {
    return ParseInteger(text, Signs::kEither, 10, value);
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
    if (cross == std::string::npos || !ParseDecimal(text.substr(0, cross), &width) ||
        !ParseDecimal(text.substr(cross + 1), &height)) {
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

bool ParseSeedOption(const std::string& text, Options* options, std::string* error) {
    const NumberText seed = ParseSeed(text, Signs::kEither, &options->seed);
    if (seed == NumberText::kNotANumber) {
        *error = "bad --seed '" + text + "': not a number";
    } else if (seed == NumberText::kOutOfRange) {
        *error = "bad --seed '" + text + "': out of range 0 to 4294967295";
    }
    return seed == NumberText::kNumber;
}

// A counter reading: a 32-bit signed integer.
bool ParseTick(const char* option, const std::string& text, const std::string& item, int64_t* tick,
               std::string* error) {
    if (!ParseDecimal(item, tick)) {
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

bool ParseSeries(const std::string& text, Options* options, std::string* error) {
    const std::vector<std::string> items = SplitList(text);
    int64_t first = 0;
    int64_t step = 0;
    int64_t count = 0;
    if (items.size() != 3) {
        *error = "bad --series '" + text + "': expected START,STEP,COUNT, e.g. 700,40,100";
        return false;
    }
    if (!ParseTick("--series", text, items[0], &first, error) ||
        !ParseTick("--series", text, items[1], &step, error)) {
        return false;
    }
    if (!ParseDecimal(items[2], &count) || count < 1 || count > kMaxSeriesFrames) {
        *error = "bad --series '" + text + "': the count must be 1 to 100000";
        return false;
    }
    // The readings wrap at 32 bits, as the counter does.
    options->ticks.clear();
    for (int64_t i = 0; i < count; ++i) {
        options->ticks.push_back(static_cast<int32_t>(static_cast<uint32_t>(first + step * i)));
    }
    return true;
}

bool ParseRenderer(const std::string& text, Options* options, std::string* error) {
    const int found = FindName(text, kRendererNames, 2);
    if (found < 0) {
        *error = "bad --renderer '" + text + "': expected " + ListNames(kRendererNames, 2);
        return false;
    }
    options->renderer = static_cast<Renderer>(found);
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

// What only the whole command line shows: a view larger than GL's frames, and what an animation
// needs.
bool CheckCombination(const Options& options, std::string* error) {
    const int64_t pixels = int64_t{options.width} * options.height;
    if (options.renderer == Renderer::kGl && pixels > kMaxViewPixels) {
        *error = "bad --size " + std::to_string(options.width) + "x" +
                 std::to_string(options.height) + " for --renderer gl: " + std::to_string(pixels) +
                 " pixels, and GL draws at most 134217728 (2^27); the picture draws it";
        return false;
    }
    if (OutputTarget(options, OutputKind::kWebp).empty()) {
        return true;
    }
    if (options.width > kMaxAnimationSize || options.height > kMaxAnimationSize) {
        *error = "bad --webp: width and height must not exceed 16383";
        return false;
    }
    std::vector<int> times;
    return AnimationTimes(options.ticks, &times, error);
}

} // namespace

ParseResult ParseArguments(int argc, char** argv, Options* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            return ParseResult::kHelp;
        }
        if (option == "--version") {
            return ParseResult::kVersion;
        }
        int output = -1;
        for (int k = 0; k < kOutputKinds; ++k) {
            if (option == kOutputOptions[k]) {
                output = k;
            }
        }
        const bool known = output >= 0 || option == "--size" || option == "--seed" ||
                           option == "--ticks" || option == "--series" || option == "--renderer";
        if (!known) {
            *error =
                (option.compare(0, 1, "-") == 0 ? "unknown option '" : "unexpected argument '") +
                option + "' (see --help)";
            return ParseResult::kBad;
        }
        // An option in place of the value means the value was left out.
        if (i + 1 == argc || std::strncmp(argv[i + 1], "--", 2) == 0) {
            *error = "missing value after " + option;
            return ParseResult::kBad;
        }
        const std::string value = argv[++i];
        bool ok = true;
        if (option == "--size") {
            ok = ParseSize(value, options, error);
        } else if (option == "--seed") {
            ok = ParseSeedOption(value, options, error);
        } else if (option == "--ticks") {
            ok = ParseTicks(value, options, error);
        } else if (option == "--series") {
            ok = ParseSeries(value, options, error);
        } else if (option == "--renderer") {
            ok = ParseRenderer(value, options, error);
        } else {
            ok = ParseTarget(kOutputOptions[output], value, &options->targets[output], error);
        }
        if (!ok) {
            return ParseResult::kBad;
        }
    }
    return CheckCombination(*options, error) ? ParseResult::kRun : ParseResult::kBad;
}

bool AnimationTimes(const std::vector<int32_t>& ticks, std::vector<int>* times,
                    std::string* error) {
    if (ticks.size() < 2) {
        *error = "bad --webp: an animation needs at least two ticks";
        return false;
    }
    times->assign(1, 0);
    int64_t now = 0;
    int64_t duration = 0;
    for (size_t i = 0; i < ticks.size(); ++i) {
        if (i + 1 < ticks.size()) {
            duration = static_cast<int32_t>(static_cast<uint32_t>(ticks[i + 1]) -
                                            static_cast<uint32_t>(ticks[i]));
            if (duration <= 0) {
                *error = "bad --webp: tick " + std::to_string(ticks[i + 1]) +
                         " does not come after " + std::to_string(ticks[i]);
                return false;
            }
            if (duration > kMaxFrameDuration) {
                *error = "bad --webp: from tick " + std::to_string(ticks[i]) + " to " +
                         std::to_string(ticks[i + 1]) +
                         " is longer than a frame can last (16777215 ms)";
                return false;
            }
        }
        now += duration;
        if (now > INT_MAX) {
            *error = "bad --webp: the frames would last longer than 2147483647 ms";
            return false;
        }
        times->push_back(static_cast<int>(now));
    }
    return true;
}

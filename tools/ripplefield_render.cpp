// ripplefield_render.cpp -- the headless still renderer: draws frames off screen at given clock
// readings and writes the last one as a PNG, its cells and the model's state as text.
#include "model/field.h"
#include "model/scene.h"
#include "render/frame.h"
#include "render/gl.h"
#include "render/gl_context.h"

#include <png.h>

#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxViewSize = 16384;
constexpr int kExitFailed = 1;
constexpr int kExitBadInput = 2;

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

enum OutputKind { kPngOutput, kCellsOutput, kStateOutput, kOutputKinds };
const char* const kOutputOptions[kOutputKinds] = {"--png", "--cells", "--state"};

struct Options {
    int width = 1024;
    int height = 768;
    uint32_t seed = 1;
    std::vector<int32_t> ticks{700};
    std::string targets[kOutputKinds]; // empty: not written
};

// An output under way: written to a temporary file beside its target, renamed at the very end.
struct Output {
    std::string target;      // as given
    std::string destination; // the file that the temporary replaces
    std::string temp;        // empty when written straight
    FILE* file = nullptr;
};

Output g_outputs[kOutputKinds];
// The temporaries' names as the signal handler sees them; set once the file exists.
const char* volatile g_tempNames[kOutputKinds];

int32_t g_tickValue; // what the millisecond counter reads during the current frame

int ReadTickValue() {
    return g_tickValue;
}

// Prints one line on stderr; control characters from the command line cannot break it in two.
void ReportError(const std::string& message) {
    std::string line = "ripplefield-render: " + message;
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20) {
            c = '?';
        }
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

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

bool ParseTicks(const std::string& text, Options* options, std::string* error) {
    options->ticks.clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma - start);
        int64_t tick = 0;
        if (!ParseInteger(item, &tick)) {
            *error = "bad --ticks '" + text + "': '" + item + "' is not a number";
            return false;
        }
        if (tick < INT32_MIN || tick > INT32_MAX) {
            *error = "bad --ticks '" + text + "': " + item + " is not a 32-bit signed integer";
            return false;
        }
        options->ticks.push_back(static_cast<int32_t>(tick));
        if (comma == std::string::npos) {
            return true;
        }
        start = comma + 1;
    }
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

enum ParseResult { kParsed, kHelpAsked, kBadArguments };

// Options are read in order; a later copy of an option overrides an earlier one.
ParseResult ParseArguments(int argc, char** argv, Options* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            return kHelpAsked;
        }
        const bool known = option == "--size" || option == "--seed" || option == "--ticks" ||
                           option == "--png" || option == "--cells" || option == "--state";
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
            for (int k = 0; k < kOutputKinds; ++k) {
                if (option == kOutputOptions[k]) {
                    ok = ParseTarget(kOutputOptions[k], value, &options->targets[k], error);
                }
            }
        }
        if (!ok) {
            return kBadArguments;
        }
    }
    // Two outputs into one file would overwrite each other.
    for (int a = 0; a < kOutputKinds; ++a) {
        for (int b = a + 1; b < kOutputKinds; ++b) {
            if (!options->targets[a].empty() && options->targets[a] == options->targets[b]) {
                *error = std::string(kOutputOptions[a]) + " and " + kOutputOptions[b] +
                         " name the same file '" + options->targets[a] + "'";
                return kBadArguments;
            }
        }
    }
    return kParsed;
}

void RemoveTemporaries() {
    for (int k = 0; k < kOutputKinds; ++k) {
        Output& out = g_outputs[k];
        g_tempNames[k] = nullptr;
        if (out.file != nullptr) {
            std::fclose(out.file);
            out.file = nullptr;
        }
        if (!out.temp.empty()) {
            unlink(out.temp.c_str());
            out.temp.clear();
        }
    }
}

// An interrupted run leaves no temporary behind either.
void RemoveTemporariesOnSignal(int signal) {
    for (int k = 0; k < kOutputKinds; ++k) {
        if (g_tempNames[k] != nullptr) {
            unlink(g_tempNames[k]);
        }
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

std::string CannotWrite(int kind, const std::string& target, const char* reason) {
    return std::string("cannot write ") + kOutputOptions[kind] + " file '" + target +
           "': " + reason;
}

// Creates the temporary file of an output now, so that an unwritable path fails before rendering.
// A device or pipe (/dev/stdout) is written straight: there is no file to replace.
bool OpenOutput(Output* out, const std::string& target, int kind, std::string* error) {
    out->target = target;
    out->destination = target;
    struct stat info;
    if (stat(target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            *error = CannotWrite(kind, target, "it is a directory");
            return false;
        }
        if (!S_ISREG(info.st_mode)) {
            out->file = std::fopen(target.c_str(), "wb");
            if (out->file == nullptr) {
                *error = CannotWrite(kind, target, std::strerror(errno));
                return false;
            }
            return true;
        }
        // Through a symbolic link the file it names is replaced, not the link.
        char* resolved = realpath(target.c_str(), nullptr);
        if (resolved != nullptr) {
            out->destination = resolved;
            std::free(resolved);
        }
    }
    std::vector<char> name(out->destination.begin(), out->destination.end());
    const char suffix[] = ".XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        *error = CannotWrite(kind, target, std::strerror(errno));
        return false;
    }
    out->temp = name.data();
    g_tempNames[kind] = out->temp.c_str();
    // mkstemp makes the file private; the result gets the usual permissions instead.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    out->file = fdopen(fd, "wb");
    if (out->file == nullptr) {
        close(fd);
        *error = CannotWrite(kind, target, std::strerror(errno));
        return false;
    }
    return true;
}

void FailPng(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void IgnorePngWarning(png_structp, png_const_charp) {}

// The framebuffer as an 8-bit RGB PNG, read row by row from the top, since GL counts rows upwards.
bool WritePng(FILE* file, int width, int height) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, FailPng, IgnorePngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_byte> row(3 * static_cast<size_t>(width));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int y = height - 1; y >= 0; --y) {
        glReadPixels(0, y, width, 1, GL_RGB, GL_UNSIGNED_BYTE, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

void WriteCellRow(const FieldRow& row, void* context) {
    FILE* file = static_cast<FILE*>(context);
    for (int i = 0; i < row.columns; ++i) {
        const float* c = row.rgb + 3 * i;
        std::fprintf(file, "%d %d %d %d %.9g %.9g %.9g\n", row.edges[i], row.y, row.edges[i + 1],
                     row.y2, c[0], c[1], c[2]);
    }
}

// The model does not change while a frame is drawn, so walking it again yields that frame's cells.
void WriteCells(FILE* file) {
    FieldFrame frame;
    PrepareFieldFrame(&frame);
    WalkField(frame, WriteCellRow, file);
}

void WriteState(FILE* file) {
    const FrameClock& clock = g_model.clock;
    const OscillatorBank& bank = g_model.bank;
    std::fprintf(file, "%.17g %.17g %.17g %.17g\n", clock.time, clock.prevTime, clock.dt,
                 g_model.scene.letterbox);
    for (int i = 0; i < g_model.scene.oscillatorCount; ++i) {
        std::fprintf(file, "%d %.17g %.17g %.17g %d\n", i, bank.phase[i], bank.rate[i],
                     bank.target[i], bank.chase[i] ? 1 : 0);
    }
}

// Closes every temporary and renames it over its target; false after the first failure. Only a
// rename failing after an earlier one succeeded can leave some outputs written and not others,
// and each of those is complete.
bool CommitOutputs(std::string* error) {
    for (int k = 0; k < kOutputKinds; ++k) {
        Output& out = g_outputs[k];
        if (out.file == nullptr) {
            continue;
        }
        const bool written = std::ferror(out.file) == 0;
        const bool closed = std::fclose(out.file) == 0;
        out.file = nullptr;
        if (!written || !closed) {
            *error = CannotWrite(k, out.target, std::strerror(errno));
            return false;
        }
    }
    for (int k = 0; k < kOutputKinds; ++k) {
        Output& out = g_outputs[k];
        if (out.temp.empty()) {
            continue;
        }
        if (std::rename(out.temp.c_str(), out.destination.c_str()) != 0) {
            *error = CannotWrite(k, out.target, std::strerror(errno));
            return false;
        }
        g_tempNames[k] = nullptr;
        out.temp.clear();
    }
    return true;
}

// Draws every frame and writes the requested outputs of the last one; false on a failed write.
bool RenderOutputs(const Options& options, std::string* error) {
    SeedRandom(options.seed); // in place of the tick count at context creation
    g_model.readMilliseconds = ReadTickValue;
    InitGLState(options.width, options.height);
    for (const int32_t tick : options.ticks) {
        g_tickValue = tick;
        RenderFrame();
    }
    glFinish();
    Output* const png = &g_outputs[kPngOutput];
    if (png->file != nullptr && !WritePng(png->file, options.width, options.height)) {
        *error = CannotWrite(kPngOutput, png->target, "PNG encoding failed");
        return false;
    }
    if (g_outputs[kCellsOutput].file != nullptr) {
        WriteCells(g_outputs[kCellsOutput].file);
    }
    if (g_outputs[kStateOutput].file != nullptr) {
        WriteState(g_outputs[kStateOutput].file);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    const ParseResult parsed = ParseArguments(argc, argv, &options, &error);
    if (parsed == kHelpAsked) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (parsed == kBadArguments) {
        ReportError(error);
        return kExitBadInput;
    }

    std::signal(SIGINT, RemoveTemporariesOnSignal);
    std::signal(SIGTERM, RemoveTemporariesOnSignal);
    std::signal(SIGHUP, RemoveTemporariesOnSignal);
    for (int k = 0; k < kOutputKinds; ++k) {
        if (!options.targets[k].empty() &&
            !OpenOutput(&g_outputs[k], options.targets[k], k, &error)) {
            ReportError(error);
            RemoveTemporaries();
            return kExitBadInput;
        }
    }

    HeadlessView view{options.width, options.height};
    const GLContext context = CreateGLContext(&view);
    if (context.render == nullptr) {
        ReportError("cannot create a headless OpenGL context");
        RemoveTemporaries();
        return kExitFailed;
    }
    const bool rendered = RenderOutputs(options, &error);
    DestroyGLContext(&view, context.device, context.render);
    if (!rendered || !CommitOutputs(&error)) {
        ReportError(error);
        RemoveTemporaries();
        return kExitFailed;
    }
    return 0;
}

// ripplefield_render.cpp -- the headless still renderer: draws frames off screen at given clock
// readings and writes the last one as a PNG, its cells and the model's state as text, or every
// frame as an animation.
#include "model/scene.h"
#include "render/frame.h"
#include "render/gl.h"
#include "render/gl_context.h"
#include "tools/render_options.h"
#include "tools/render_output.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitBadInput = 2;

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

// GL counts rows upwards from the bottom; the writers take them from the top.
void ReadFramebufferRow(int y, unsigned char* rgb, void* context) {
    const int* size = static_cast<const int*>(context);
    glReadPixels(0, size[1] - 1 - y, size[0], 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

// Draws every frame, adding each to the animation if one is asked for, and writes the requested
// outputs of the last one; false on a failed write.
bool RenderOutputs(const Options& options, std::string* error) {
    SeedRandom(options.seed); // in place of the tick count at context creation
    g_model.readMilliseconds = ReadTickValue;
    InitGLState(options.width, options.height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    int size[2] = {options.width, options.height};

    FILE* const webp = OutputFile(kWebpOutput);
    Animation animation = {};
    std::vector<int> times;
    std::vector<unsigned char> rgb;
    if (webp != nullptr) {
        AnimationTimes(options.ticks, &times, error); // checked with the arguments
        rgb.resize(3 * static_cast<size_t>(options.width) * static_cast<size_t>(options.height));
        if (!BeginAnimation(&animation, options.width, options.height)) {
            *error = CannotWrite(kWebpOutput, options.targets[kWebpOutput], "out of memory");
            return false;
        }
    }
    for (size_t f = 0; f < options.ticks.size(); ++f) {
        g_tickValue = options.ticks[f];
        RenderFrame();
        if (webp == nullptr) {
            continue;
        }
        for (int y = 0; y < options.height; ++y) {
            ReadFramebufferRow(y, &rgb[3 * static_cast<size_t>(options.width) * y], size);
        }
        if (!AddAnimationFrame(&animation, rgb.data(), times[f])) {
            DiscardAnimation(&animation);
            *error = CannotWrite(kWebpOutput, options.targets[kWebpOutput], "WebP encoding failed");
            return false;
        }
    }
    glFinish();
    if (webp != nullptr && !FinishAnimation(&animation, times.back(), webp)) {
        *error = CannotWrite(kWebpOutput, options.targets[kWebpOutput], "WebP encoding failed");
        return false;
    }
    FILE* const png = OutputFile(kPngOutput);
    if (png != nullptr && !WritePng(png, options.width, options.height, ReadFramebufferRow, size)) {
        *error = CannotWrite(kPngOutput, options.targets[kPngOutput], "PNG encoding failed");
        return false;
    }
    if (OutputFile(kCellsOutput) != nullptr) {
        WriteCells(OutputFile(kCellsOutput));
    }
    if (OutputFile(kStateOutput) != nullptr) {
        WriteState(OutputFile(kStateOutput));
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
    if (parsed == kVersionAsked) {
        std::fputs(kVersion, stdout);
        return 0;
    }
    if (parsed == kBadArguments) {
        ReportError(error);
        return kExitBadInput;
    }

    RemoveTemporariesOnSignals();
    for (int k = 0; k < kOutputKinds; ++k) {
        if (!options.targets[k].empty() && !OpenOutput(k, options.targets[k], &error)) {
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

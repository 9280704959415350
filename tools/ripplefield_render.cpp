// ripplefield_render.cpp -- the headless still renderer: draws frames at given clock readings, on
// the processor or with GL off screen, and writes the last one as a PNG, its cells and the
// model's state as text, or every frame as an animation.
#include "frames/frame_step.h"
#include "model/scene.h"
#include "model/text.h"
#include "picture/memory_presenter.h"
#include "render/frame.h"
#include "render/gl.h"
#include "render/gl_context.h"
#include "render/gl_presenter.h"
#include "tools/render_options.h"
#include "tools/render_output.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitBadInput = 2;

// One line on stderr, the user's text in it cleaned.
void ReportError(const std::string& message) {
    PrintLine("ripplefield-render: " + message);
}

// GL counts rows upwards from the bottom; the writers take them from the top.
void ReadGLRow(int y, unsigned char* rgb, void* context) {
    const int* size = static_cast<const int*>(context);
    glReadPixels(0, size[1] - 1 - y, size[0], 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

// R, G, B of the memory presenter's RGBA bytes.
void ReadMemoryRow(int y, unsigned char* rgb, void* context) {
    const int width = static_cast<const int*>(context)[0];
    const uint32_t* row = MemoryPresenterPixels() + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
        std::memcpy(rgb + 3 * x, &row[x], 3);
    }
}

// Where the frames are drawn, chosen once: GL's buffer on a headless context, or the memory
// presenter's image; and how their rows are read back.
struct Frames {
    const Presenter* presenter;
    RowReader readRow;
    int size[2]; // width, height: the readers' context
};

// The scene as the saver starts it, on the chosen presenter. False when the presenter cannot
// start (no context) or the frame's memory cannot be had: GL's view not drawn (its size is within
// the limit, the options saw to that), or the picture's image or buffers.
bool StartFrames(const Options& options, Frames* frames, std::string* error) {
    static HeadlessView view;
    view = HeadlessView{options.width, options.height};
    const bool gl = options.renderer == Renderer::kGl;
    *frames = Frames{gl ? &kGlPresenter : &kMemoryPresenter,
                     gl ? ReadGLRow : ReadMemoryRow,
                     {options.width, options.height}};
    if (!frames->presenter->start(gl ? &view : nullptr, options.width, options.height, error)) {
        return false;
    }
    if (gl && !ViewIsDrawn()) {
        *error = "out of memory for a " + std::to_string(options.width) + "x" +
                 std::to_string(options.height) + " frame";
        return false;
    }
    if (gl) {
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
    }
    StartScene(options.seed, options.width, options.height); // the seed stands for the tick count
    StartFrameLoop(frames->presenter, false);
    return true;
}

// Draws every frame, adding each to the animation if one is asked for, and writes the requested
// outputs of the last one; false on a failed write.
bool RenderOutputs(const Options& options, Frames* frames, std::string* error) {
    if (!StartFrames(options, frames, error)) {
        return false;
    }

    FILE* const webp = OutputFile(OutputKind::kWebp);
    Animation animation = {};
    std::vector<int> times;
    std::vector<unsigned char> rgb;
    if (webp != nullptr) {
        AnimationTimes(options.ticks, &times, error); // checked with the arguments
        rgb.resize(3 * static_cast<size_t>(options.width) * static_cast<size_t>(options.height));
        if (!BeginAnimation(&animation, options.width, options.height)) {
            *error = CannotWrite(OutputKind::kWebp, OutputTarget(options, OutputKind::kWebp),
                                 "out of memory");
            return false;
        }
    }
    for (size_t f = 0; f < options.ticks.size(); ++f) {
        FreezeFrameCounter(options.ticks[f]);
        StepFrame();
        if (webp == nullptr) {
            continue;
        }
        for (int y = 0; y < options.height; ++y) {
            frames->readRow(y, &rgb[3 * static_cast<size_t>(options.width) * y], frames->size);
        }
        if (!AddAnimationFrame(&animation, rgb.data(), times[f])) {
            DiscardAnimation(&animation);
            *error = CannotWrite(OutputKind::kWebp, OutputTarget(options, OutputKind::kWebp),
                                 "WebP encoding failed");
            return false;
        }
    }
    if (options.renderer == Renderer::kGl) {
        glFinish();
    }
    if (webp != nullptr && !FinishAnimation(&animation, times.back(), webp)) {
        *error = CannotWrite(OutputKind::kWebp, OutputTarget(options, OutputKind::kWebp),
                             "WebP encoding failed");
        return false;
    }
    FILE* const png = OutputFile(OutputKind::kPng);
    if (png != nullptr &&
        !WritePng(png, options.width, options.height, frames->readRow, frames->size)) {
        *error = CannotWrite(OutputKind::kPng, OutputTarget(options, OutputKind::kPng),
                             "PNG encoding failed");
        return false;
    }
    if (OutputFile(OutputKind::kCells) != nullptr) {
        WriteCells(OutputFile(OutputKind::kCells));
    }
    if (OutputFile(OutputKind::kState) != nullptr) {
        WriteState(OutputFile(OutputKind::kState));
    }
    return true;
}

int RunTool(int argc, char** argv) {
    Options options;
    std::string error;
    const ParseResult parsed = ParseArguments(argc, argv, &options, &error);
    if (parsed == ParseResult::kHelpAsked) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (parsed == ParseResult::kVersionAsked) {
        std::fputs(kVersion, stdout);
        return 0;
    }
    if (parsed == ParseResult::kBadArguments) {
        ReportError(error);
        return kExitBadInput;
    }

    InstallOutputSignals();
    for (int k = 0; k < kOutputKinds; ++k) {
        const OutputKind kind = static_cast<OutputKind>(k);
        if (!OutputTarget(options, kind).empty() &&
            !OpenOutput(kind, OutputTarget(options, kind), &error)) {
            ReportError(error);
            RemoveTemporaries();
            return kExitBadInput;
        }
    }

    // The picture needs no context at all.
    Frames frames = {};
    const bool rendered = RenderOutputs(options, &frames, &error);
    if (frames.presenter != nullptr) {
        frames.presenter->stop();
    }
    if (!rendered || !CommitOutputs(&error)) {
        ReportError(error);
        RemoveTemporaries();
        return kExitFailed;
    }
    return 0;
}

} // namespace

// A failure that throws, running out of memory above all, ends the run as every other failure
// does: status 1, one line, and the temporaries removed.
int main(int argc, char** argv) {
    try {
        return RunTool(argc, argv);
    } catch (const std::bad_alloc&) {
        ReportError("out of memory");
    } catch (const std::exception& e) {
        ReportError(e.what());
    }
    RemoveTemporaries();
    return kExitFailed;
}

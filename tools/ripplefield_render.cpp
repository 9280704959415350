// ripplefield_render.cpp -- the headless still renderer: draws frames at given clock readings, on
// the processor or with GL off screen, and writes the last one as a PNG, its cells and the
// model's state as text, or every frame as an animation.
#include "frames/frame_step.h"
#include "picture/memory_presenter.h"
#include "render/gl_context.h"
#include "render/gl_presenter.h"
#include "text/text.h"
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

// The presenter's rows, for the writers.
void ReadFrameRow(int y, unsigned char* rgb, void* context) {
    const FrameLoop& loop = *static_cast<const FrameLoop*>(context);
    loop.presenter->readRow(loop.frames, y, rgb);
}

// The scene as the saver starts it (the seed stands for the tick count), shown by the chosen
// presenter: GL's buffer on a headless context, or the memory presenter's image. False when the
// presenter cannot start (no context, or no memory for the picture) or its buffers cannot be had.
bool StartFrames(const Options& options, FrameLoop& loop, HeadlessView* view, std::string* error) {
    StartFrameLoop(loop, options.seed, options.width, options.height, false);
    const bool gl = options.renderer == Renderer::kGl;
    const Presenter* presenter = gl ? &kGlPresenter : &kMemoryPresenter;
    void* frames = presenter->start(gl ? view : nullptr, loop.model, error);
    if (frames == nullptr) {
        return false;
    }
    AttachPresenter(loop, presenter, frames);
    if (!ViewIsDrawn(loop)) {
        *error = "out of memory for a " + std::to_string(options.width) + "x" +
                 std::to_string(options.height) + " frame";
        return false;
    }
    return true;
}

// Draws every frame, adding each to the animation if one is asked for, and writes the requested
// outputs of the last one; false on a failed write.
bool RenderOutputs(const Options& options, FrameLoop& loop, HeadlessView* view,
                   std::string* error) {
    if (!StartFrames(options, loop, view, error)) {
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
        FreezeFrameCounter(loop, options.ticks[f]);
        StepFrame(loop);
        if (webp == nullptr) {
            continue;
        }
        for (int y = 0; y < options.height; ++y) {
            ReadFrameRow(y, &rgb[3 * static_cast<size_t>(options.width) * y], &loop);
        }
        if (!AddAnimationFrame(&animation, rgb.data(), times[f])) {
            DiscardAnimation(&animation);
            *error = CannotWrite(OutputKind::kWebp, OutputTarget(options, OutputKind::kWebp),
                                 "WebP encoding failed");
            return false;
        }
    }
    if (webp != nullptr && !FinishAnimation(&animation, times.back(), webp)) {
        *error = CannotWrite(OutputKind::kWebp, OutputTarget(options, OutputKind::kWebp),
                             "WebP encoding failed");
        return false;
    }
    FILE* const png = OutputFile(OutputKind::kPng);
    if (png != nullptr && !WritePng(png, options.width, options.height, ReadFrameRow, &loop)) {
        *error = CannotWrite(OutputKind::kPng, OutputTarget(options, OutputKind::kPng),
                             "PNG encoding failed");
        return false;
    }
    if (OutputFile(OutputKind::kCells) != nullptr) {
        WriteCells(OutputFile(OutputKind::kCells), loop.model);
    }
    if (OutputFile(OutputKind::kState) != nullptr) {
        WriteState(OutputFile(OutputKind::kState), loop.model);
    }
    return true;
}

int RunTool(int argc, char** argv) {
    Options options;
    std::string error;
    const ParseResult parsed = ParseArguments(argc, argv, &options, &error);
    if (parsed != ParseResult::kRun) {
        return EndWithoutRun(parsed, kUsage, kVersion, "ripplefield-render: " + error,
                             kExitBadInput);
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
    FrameLoop loop{};
    HeadlessView view{options.width, options.height};
    const bool rendered = RenderOutputs(options, loop, &view, &error);
    StopFrameLoop(loop);
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

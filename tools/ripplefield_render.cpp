// ripplefield_render.cpp -- the headless still renderer: draws frames at given clock readings, on
// the processor or with GL off screen, and writes the last one as a PNG, its cells and the
// model's state as text, or every frame as an animation.
#include "model/animation.h"
#include "model/scene.h"
#include "model/text.h"
#include "picture/picture.h"
#include "render/frame.h"
#include "render/gl.h"
#include "render/gl_context.h"
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

// Where the frames are drawn: GL's buffer, or the picture's image (RGBA bytes, rows from the top).
struct Frames {
    Renderer renderer;
    int width;
    int height;
    std::vector<uint32_t> pixels; // the picture's frame; GL keeps its own in its buffer
};

// GL counts rows upwards from the bottom; the writers take them from the top.
void ReadFrameRow(int y, unsigned char* rgb, void* context) {
    const Frames* frames = static_cast<const Frames*>(context);
    const int w = frames->width;
    if (frames->renderer == Renderer::kGl) {
        glReadPixels(0, frames->height - 1 - y, w, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
        return;
    }
    const uint32_t* row = &frames->pixels[static_cast<size_t>(y) * w];
    for (int x = 0; x < w; ++x) {
        std::memcpy(rgb + 3 * x, &row[x], 3); // R, G, B of the RGBA bytes
    }
}

// The scene as the saver starts it: GL's state and the scene, or the scene and the image.
// False when the frame's memory cannot be had: GL's view not drawn (its size is within the limit,
// the options saw to that), or the picture's image or buffers.
bool StartFrames(Frames* frames, std::string* error) {
    const int w = frames->width;
    const int h = frames->height;
    bool started = true;
    if (frames->renderer == Renderer::kGl) {
        InitGLState(w, h);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        started = ViewIsDrawn();
    } else {
        g_model.scene.viewWidth = w;
        g_model.scene.viewHeight = h;
        ResetScene();
        frames->pixels.assign(static_cast<size_t>(w) * h, 0); // a failure is caught at the top
        started = SizePicture(w, h);
    }
    if (!started) {
        *error = "out of memory for a " + std::to_string(w) + "x" + std::to_string(h) + " frame";
    }
    return started;
}

// One frame at a reading of the counter: the model steps as in the saver, then GL or the picture
// draws it.
void DrawFrameAt(Frames* frames, int32_t milliseconds) {
    AdvanceFrame(milliseconds);
    if (frames->renderer == Renderer::kGl) {
        DrawFrame();
    } else {
        DrawPictureFrame(PictureImage{frames->pixels.data(), frames->width, frames->height,
                                      frames->width, kRgbaTexels});
    }
}

// Draws every frame, adding each to the animation if one is asked for, and writes the requested
// outputs of the last one; false on a failed write.
bool RenderOutputs(const Options& options, std::string* error) {
    SeedRandom(options.seed); // in place of the tick count at context creation
    Frames frames{options.renderer, options.width, options.height, {}};
    if (!StartFrames(&frames, error)) {
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
        DrawFrameAt(&frames, options.ticks[f]);
        if (webp == nullptr) {
            continue;
        }
        for (int y = 0; y < options.height; ++y) {
            ReadFrameRow(y, &rgb[3 * static_cast<size_t>(options.width) * y], &frames);
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
    if (png != nullptr && !WritePng(png, options.width, options.height, ReadFrameRow, &frames)) {
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
    HeadlessView view{options.width, options.height};
    GLContext context{nullptr, nullptr};
    if (options.renderer == Renderer::kGl) {
        context = CreateGLContext(&view);
        if (context.render == nullptr) {
            ReportError("cannot create a headless OpenGL context");
            RemoveTemporaries();
            return kExitFailed;
        }
    }
    const bool rendered = RenderOutputs(options, &error);
    if (context.render != nullptr) {
        DestroyGLContext(&view, context.device, context.render);
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

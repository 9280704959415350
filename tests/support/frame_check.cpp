// frame_check.cpp -- a drawn frame against the model's cells.
#include "frame_check.h"

#include <cstdio>
#include <cstring>

#include "frames/frame_step.h"
#include "model/scene.h"
#include "render/frame.h"
#include "render/gl.h"
#include "render/gl_context.h"

// The GL presenter's drawing and swap on a context the test made itself.
static const Presenter kCurrentContext = {
    PresentChoice::kGl,
    nullptr,
    [](void* frames, const ModelState& model) {
        ResizeView(static_cast<ContextFrames*>(frames)->view, model);
    },
    [](void* frames, const ModelState& model, const char*) {
        GlView& view = static_cast<ContextFrames*>(frames)->view;
        DrawFrame(view, model);
        return view.drawn;
    },
    [](void* frames) { SwapGLBuffers(static_cast<ContextFrames*>(frames)->device); },
    [](void*) {},
    nullptr,
    nullptr,
    [](void* frames) { return static_cast<ContextFrames*>(frames)->view.drawn; },
};

void AttachCurrentContext(FrameLoop& loop, ContextFrames& frames, void* device) {
    frames.device = device;
    InitGLState(frames.view, loop.model);
    AttachPresenter(loop, &kCurrentContext, &frames);
}

void StepFrameAt(FrameLoop& loop, int milliseconds) {
    FreezeFrameCounter(loop, milliseconds);
    StepFrame(loop);
}

std::vector<unsigned char> ReadFramePixels(int width, int height) {
    std::vector<unsigned char> pixels(4 * static_cast<size_t>(width) * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

std::vector<double> SpreadLetterboxes(int n) {
    std::vector<double> letterboxes;
    for (int k = 0; k < n; ++k) {
        letterboxes.push_back(n > 1 ? 0.15 * k / (n - 1) : 0.0);
    }
    return letterboxes;
}

void DrawFieldInBand(GlView& view, ModelState& model, SubmitMode mode, double letterbox) {
    SceneParams& s = model.scene;
    s.letterbox = letterbox;
    SetBandViewport(s.viewWidth, s.viewHeight, letterbox);
    SetBandOrtho(s.viewWidth, s.viewHeight, letterbox);
    ClearFrame();
    SelectSubmitMode(mode);
    DrawField(view, model);
}

std::vector<unsigned char> DrawnFieldPixels(GlView& view, ModelState& model, SubmitMode mode,
                                            double letterbox, int w, int h) {
    DrawFieldInBand(view, model, mode, letterbox);
    return ReadFramePixels(w, h);
}

bool HasEdgeNearPixelCentre(const BandRows& band, int height) {
    for (int y = band.bottom; y <= height; y += 6) {
        if (BandEdgeNearPixelCentre(band, y)) {
            return true;
        }
    }
    return false;
}

::testing::AssertionResult TextureMatchesBatched(GlView& view, ModelState& model, int w, int h,
                                                 const std::vector<double>& letterboxes,
                                                 IdentityCount* count) {
    for (const double letterbox : letterboxes) {
        const std::vector<unsigned char> batched =
            DrawnFieldPixels(view, model, SubmitMode::kBatched, letterbox, w, h);
        while (glGetError() != GL_NO_ERROR) {
        }
        const std::vector<unsigned char> texture =
            DrawnFieldPixels(view, model, SubmitMode::kTexture, letterbox, w, h);
        const BandRows band = BandRowsOf(h, letterbox);
        GLint bound = -1;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        // An empty band's projection is refused by GL in every mode.
        const GLenum error = band.top > band.bottom ? glGetError() : GL_NO_ERROR;
        if (glIsEnabled(GL_TEXTURE_2D) || bound != 0 || error != GL_NO_ERROR) {
            return ::testing::AssertionFailure()
                   << "texturing left on or texture " << bound << " bound; GL error " << error;
        }
        for (size_t i = 0; i < texture.size(); i += 4) {
            if (std::memcmp(&texture[i], &batched[i], 3) != 0) {
                return ::testing::AssertionFailure()
                       << w << "x" << h << " letterbox " << letterbox << ": pixel " << i / 4 % w
                       << "," << i / 4 / w << " differs";
            }
        }
        CountComparedFrame(count, band, w, h);
    }
    return ::testing::AssertionSuccess();
}

void CountComparedFrame(IdentityCount* count, const BandRows& band, int width, int height) {
    const bool scaled = band.top - band.bottom != band.viewHeight;
    ++count->frames;
    count->pixels += static_cast<long long>(width) * height;
    count->mismatchFrames += scaled;
    count->tieFrames += scaled && HasEdgeNearPixelCentre(band, height);
}

void PrintIdentityCount(const IdentityCount& count) {
    std::printf("%d frames, %lld pixels equal; %d frames with a scaled band, %d of them with an "
                "edge within 1/128 of a pixel centre\n",
                count.frames, count.pixels, count.mismatchFrames, count.tieFrames);
}

// picture.cpp -- the GL presenter: context, frames with the readout, sizes, release.
#include "hack/picture.h"

#include "model/animation.h"
#include "render/fps_overlay.h"
#include "render/frame.h"
#include "render/gl.h"
#include "render/gl_context.h"

namespace {

// One view per process, so one record.
struct Picture {
    GLContext context;
    int width;
    int height;
    bool showFps;
    FpsCounter fps;
};

Picture g_picture;

} // namespace

bool StartPicture(void* view, int width, int height, bool showFps, double nowMs, double cpuMs) {
    g_picture = Picture{};
    g_picture.context = CreateGLContext(view);
    if (g_picture.context.render == nullptr) {
        return false;
    }
    g_picture.width = width;
    g_picture.height = height;
    g_picture.showFps = showFps;
    StartFpsCounter(&g_picture.fps, nowMs, cpuMs);
    InitGLState(width, height);
    return true;
}

// Unlike ApplyScene, a resize leaves the oscillators where they are: the animation goes on.
void ResizePicture(int width, int height) {
    g_picture.width = width;
    g_picture.height = height;
    ResizeView(width, height);
}

void DrawPicture(int frameMs, double nowMs, double cpuMs) {
    AdvanceFrame(frameMs);
    DrawFrame();
    // Asked after the frame, which may size the view's buffers again: a view that cannot be drawn
    // only advances the model, and nothing is shown, readout included.
    if (!ViewIsDrawn()) {
        return;
    }
    if (g_picture.showFps) {
        CountFpsFrame(&g_picture.fps, nowMs, cpuMs);
        char readout[96];
        FormatFpsReadout(g_picture.fps, readout, sizeof readout, "gl");
        DrawFpsOverlay(readout, g_picture.width, g_picture.height);
    }
    SwapGLBuffers(g_picture.context.device);
}

void StopPicture(void* view) {
    DestroyGLContext(view, g_picture.context.device, g_picture.context.render);
    g_picture.context = GLContext{nullptr, nullptr};
}

const char* PictureRenderer() {
    return reinterpret_cast<const char*>(glGetString(GL_RENDERER));
}

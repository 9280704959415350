// gl_presenter.cpp -- the GL presenter: context, fixed state, frames with the readout, swaps.
#include "render/gl_presenter.h"

#include "render/fps_overlay.h"
#include "render/frame.h"
#include "render/gl.h"
#include "render/gl_context.h"

namespace {

// One view per process, so one record.
struct GlPresenterState {
    void* window;
    GLContext context;
    int width;
    int height;
};

GlPresenterState g_gl = {};

bool StartGl(void* surface, int width, int height, std::string* error) {
    g_gl = GlPresenterState{surface, CreateGLContext(surface), width, height};
    if (g_gl.context.render == nullptr) {
        *error = GLContextFailure(surface);
        return false;
    }
    // Where the driver takes it, the swap waits for the display; the front end's pacer still
    // holds frames to its rate where the swap returns at once all the same.
    SetSwapInterval(g_gl.context.device, 1);
    InitGLState(width, height);
    return true;
}

// Unlike ApplyScene, a resize leaves the oscillators where they are: the animation goes on.
void ResizeGl(int width, int height) {
    g_gl.width = width;
    g_gl.height = height;
    ResizeView(width, height);
}

// Asked after the frame, which may size the view's buffers again.
bool DrawGl(const char* readout) {
    DrawFrame();
    if (!ViewIsDrawn()) {
        return false;
    }
    if (readout != nullptr) {
        DrawFpsOverlay(readout, g_gl.width, g_gl.height);
    }
    return true;
}

void PresentGl() {
    SwapGLBuffers(g_gl.context.device);
}

void StopGl() {
    DestroyGLContext(g_gl.window, g_gl.context.device, g_gl.context.render);
    g_gl = GlPresenterState{};
}

} // namespace

const Presenter kGlPresenter = {"gl", StartGl, ResizeGl, DrawGl, PresentGl, StopGl};

const char* GlPresenterRenderer() {
    if (g_gl.context.render == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<const char*>(glGetString(GL_RENDERER));
}

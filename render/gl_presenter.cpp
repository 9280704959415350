// gl_presenter.cpp -- the GL presenter: context, fixed state, frames with the readout, swaps.
#include "render/gl_presenter.h"

#include "render/fps_overlay.h"
#include "render/frame.h"
#include "render/gl.h"
#include "render/gl_context.h"

#include <string>

namespace {

struct GlFrames {
    void* window;
    GLContext context;
    GlView view;
    int width, height;
};

void* StartGl(void* surface, const ModelState& model, std::string* error) {
    const GLContext context = CreateGLContext(surface);
    if (context.render == nullptr) {
        *error = GLContextFailure(surface);
        return nullptr;
    }
    GlFrames* gl =
        new GlFrames{surface, context, {}, model.scene.viewWidth, model.scene.viewHeight};
    // Where the driver takes it, the swap waits for the display; the front end's pacer still
    // holds frames to its rate where the swap returns at once all the same.
    SetSwapInterval(context.device, 1);
    InitGLState(gl->view, model);
    return gl;
}

// The fixed state stays; the animation goes on at the new size.
void ResizeGl(void* frames, const ModelState& model) {
    GlFrames& gl = *static_cast<GlFrames*>(frames);
    gl.width = model.scene.viewWidth;
    gl.height = model.scene.viewHeight;
    ResizeView(gl.view, model);
}

// Asked after the frame, which may size the view's buffers again.
bool DrawGl(void* frames, const ModelState& model, const char* readout) {
    GlFrames& gl = *static_cast<GlFrames*>(frames);
    DrawFrame(gl.view, model);
    if (!gl.view.drawn) {
        return false;
    }
    if (readout != nullptr) {
        DrawFpsOverlay(readout, gl.width, gl.height);
    }
    return true;
}

void PresentGl(void* frames) {
    SwapGLBuffers(static_cast<GlFrames*>(frames)->context.device);
}

void StopGl(void* frames) {
    GlFrames* gl = static_cast<GlFrames*>(frames);
    DestroyGLContext(gl->window, gl->context.device, gl->context.render);
    delete gl;
}

bool GlDrawsView(void* frames) {
    return static_cast<GlFrames*>(frames)->view.drawn;
}

bool IsGlSoftware(void*) {
    return IsSoftwareRenderer(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
}

// GL counts rows upwards from the bottom.
void ReadGlRow(void* frames, int y, unsigned char* rgb) {
    const GlFrames& gl = *static_cast<GlFrames*>(frames);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, gl.height - 1 - y, gl.width, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

} // namespace

const Presenter kGlPresenter = {PresentChoice::kGl, StartGl, ResizeGl,     DrawGl,
                                PresentGl,          StopGl,  IsGlSoftware, ReadGlRow,
                                GlDrawsView};

bool IsSoftwareRenderer(const char* renderer) {
    if (renderer == nullptr) {
        return false;
    }
    std::string lower = renderer;
    for (char& c : lower) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    for (const char* name :
         {"llvmpipe", "softpipe", "swrast", "software rasterizer", "gdi generic"}) {
        if (lower.find(name) != std::string::npos) {
            return true;
        }
    }
    return false;
}

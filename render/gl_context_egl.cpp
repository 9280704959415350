// gl_context_egl.cpp -- a headless context on Mesa's surfaceless EGL platform: desktop GL in the
// compatibility profile, drawing into an off-screen surface of the view's size.
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include "render/gl_context.h"

namespace {
struct OffscreenSurface {
    EGLDisplay display;
    EGLSurface surface;
};
} // namespace

GLContext CreateGLContext(void* window) {
    const HeadlessView* view = static_cast<const HeadlessView*>(window);
    EGLDisplay display =
        eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr) ||
        !eglBindAPI(EGL_OPENGL_API)) {
        return GLContext{nullptr, nullptr};
    }
    const EGLint configAttribs[] = {EGL_SURFACE_TYPE,
                                    EGL_PBUFFER_BIT,
                                    EGL_RENDERABLE_TYPE,
                                    EGL_OPENGL_BIT,
                                    EGL_RED_SIZE,
                                    8,
                                    EGL_GREEN_SIZE,
                                    8,
                                    EGL_BLUE_SIZE,
                                    8,
                                    EGL_ALPHA_SIZE,
                                    8,
                                    EGL_DEPTH_SIZE,
                                    16,
                                    EGL_NONE};
    EGLConfig config;
    EGLint found = 0;
    if (!eglChooseConfig(display, configAttribs, &config, 1, &found) || found < 1) {
        eglTerminate(display);
        return GLContext{nullptr, nullptr};
    }
    // A surface needs at least one pixel; an empty view simply draws nothing into it.
    const EGLint surfaceAttribs[] = {EGL_WIDTH, view->width > 0 ? view->width : 1, EGL_HEIGHT,
                                     view->height > 0 ? view->height : 1, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display, config, surfaceAttribs);
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (surface == EGL_NO_SURFACE || context == EGL_NO_CONTEXT ||
        !eglMakeCurrent(display, surface, surface, context)) {
        if (context != EGL_NO_CONTEXT) {
            eglDestroyContext(display, context);
        }
        if (surface != EGL_NO_SURFACE) {
            eglDestroySurface(display, surface);
        }
        eglTerminate(display);
        return GLContext{nullptr, nullptr};
    }
    return GLContext{new OffscreenSurface{display, surface}, context};
}

void DestroyGLContext(void*, void* device, void* render) {
    OffscreenSurface* s = static_cast<OffscreenSurface*>(device);
    if (s == nullptr) {
        return;
    }
    eglMakeCurrent(s->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(s->display, static_cast<EGLContext>(render));
    eglDestroySurface(s->display, s->surface);
    eglTerminate(s->display);
    delete s;
}

void SwapGLBuffers(void* device) {
    const OffscreenSurface* s = static_cast<const OffscreenSurface*>(device);
    if (s != nullptr) {
        eglSwapBuffers(s->display, s->surface);
    }
}

bool SetSwapInterval(void*, int) {
    return false;
}

const char* GLContextFailure(void*) {
    return "cannot create a headless OpenGL context";
}

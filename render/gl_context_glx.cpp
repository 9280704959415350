// gl_context_glx.cpp -- a GLX context on an X window's own visual, the way the X screen saver's GL
// display modes draw into a window that another program made.
#include "render/gl_context_glx.h"

#include "render/extension_list.h"
#include "render/gl_context.h"
#include "x11/x_error_trap_x11.h"

#include <GL/glx.h>
#include <GL/glxext.h>

namespace {

struct GlxSurface {
    Display* display;
    Window window;
    int screen;
    bool doubleBuffered; // else a frame is shown by flushing it
};

// The visual's GL configuration, or a reason why the picture cannot be drawn with it.
const char* CheckGLVisual(Display* display, XVisualInfo* info, bool* doubleBuffered) {
    int useGL = 0;
    int rgba = 0;
    int red = 0;
    int green = 0;
    int blue = 0;
    int doubleBuffer = 0;
    if (glXGetConfig(display, info, GLX_USE_GL, &useGL) != 0 || !useGL) {
        return "the window's visual does not support OpenGL";
    }
    glXGetConfig(display, info, GLX_RGBA, &rgba);
    glXGetConfig(display, info, GLX_RED_SIZE, &red);
    glXGetConfig(display, info, GLX_GREEN_SIZE, &green);
    glXGetConfig(display, info, GLX_BLUE_SIZE, &blue);
    glXGetConfig(display, info, GLX_DOUBLEBUFFER, &doubleBuffer);
    if (!rgba) {
        return "the window's visual is not RGBA";
    }
    if (red < 8 || green < 8 || blue < 8) {
        return "the window's visual has fewer than 8 bits per colour channel; 24-bit colour is "
               "needed";
    }
    *doubleBuffered = doubleBuffer != 0;
    return nullptr;
}

template <typename Proc> Proc LookUpGlx(const char* name) {
    return reinterpret_cast<Proc>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

// The context on the window's own visual, made current; a reason in view->error when there is
// none. X errors are trapped meanwhile.
GLContext AttachGLContext(X11View* view, int* screen) {
    Display* display = view->display;
    // Asked without GLX's own call, which warns on stderr where the extension is missing.
    int opcode = 0;
    int event = 0;
    int error = 0;
    if (!XQueryExtension(display, "GLX", &opcode, &event, &error)) {
        view->error = "the display offers no OpenGL (GLX)";
        return GLContext{nullptr, nullptr};
    }
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, view->window, &attributes) || TrappedXError(display)) {
        view->error = "the window does not exist";
        return GLContext{nullptr, nullptr};
    }
    if (attributes.c_class == InputOnly) {
        view->error = "the window is input-only and cannot be drawn into";
        return GLContext{nullptr, nullptr};
    }
    XVisualInfo wanted = {};
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    wanted.screen = XScreenNumberOfScreen(attributes.screen);
    *screen = wanted.screen;
    int count = 0;
    XVisualInfo* info = XGetVisualInfo(display, VisualIDMask | VisualScreenMask, &wanted, &count);
    if (info == nullptr) {
        view->error = "the window's visual is unknown to the display";
        return GLContext{nullptr, nullptr};
    }
    bool doubleBuffered = false;
    view->error = CheckGLVisual(display, info, &doubleBuffered);
    GLXContext context = nullptr;
    if (view->error == nullptr) {
        context = glXCreateContext(display, info, nullptr, True);
    }
    XFree(info);
    if (view->error != nullptr) {
        return GLContext{nullptr, nullptr};
    }
    if (context == nullptr || TrappedXError(display)) {
        if (context != nullptr) {
            glXDestroyContext(display, context);
        }
        view->error = "cannot create an OpenGL context for the window";
        return GLContext{nullptr, nullptr};
    }
    if (!glXMakeCurrent(display, view->window, context) || TrappedXError(display)) {
        // A context left current would only be marked for destruction.
        if (glXGetCurrentContext() == context) {
            glXMakeCurrent(display, None, nullptr);
        }
        glXDestroyContext(display, context);
        view->error = "cannot make the OpenGL context current on the window";
        return GLContext{nullptr, nullptr};
    }
    return GLContext{new GlxSurface{display, view->window, *screen, doubleBuffered}, context};
}

} // namespace

bool FindGLVisual(Display* display, int screen, Visual** visual, int* depth) {
    // clang-format off
    int doubleBuffered[] = {GLX_RGBA, GLX_DOUBLEBUFFER,
                            GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                            GLX_DEPTH_SIZE, 16, None};
    int singleBuffered[] = {GLX_RGBA,
                            GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                            GLX_DEPTH_SIZE, 16, None};
    // clang-format on
    XVisualInfo* info = glXChooseVisual(display, screen, doubleBuffered);
    if (info == nullptr) {
        info = glXChooseVisual(display, screen, singleBuffered);
    }
    if (info == nullptr) {
        return false;
    }
    *visual = info->visual;
    *depth = info->depth;
    XFree(info);
    return true;
}

GLContext CreateGLContext(void* window) {
    X11View* view = static_cast<X11View*>(window);
    view->error = nullptr;
    int screen = 0;
    const XErrorHandler previous = SetXErrorTrap(view->display);
    const GLContext context = AttachGLContext(view, &screen);
    ReleaseXErrorTrap(view->display, previous);
    return context;
}

const char* GLContextFailure(void* window) {
    const char* error = static_cast<const X11View*>(window)->error;
    return error != nullptr ? error : "no OpenGL context";
}

// Through whichever swap-control extension the driver offers. A server that accepts the interval
// but does not wait (Xvfb) is paced by the front end's cadence.
bool SetSwapInterval(void* device, int interval) {
    const GlxSurface* s = static_cast<const GlxSurface*>(device);
    const char* extensions = glXQueryExtensionsString(s->display, s->screen);
    if (ListsExtension(extensions, "GLX_EXT_swap_control")) {
        auto swapInterval = LookUpGlx<PFNGLXSWAPINTERVALEXTPROC>("glXSwapIntervalEXT");
        if (swapInterval != nullptr) {
            swapInterval(s->display, s->window, interval);
            return true;
        }
    }
    if (ListsExtension(extensions, "GLX_MESA_swap_control")) {
        auto swapInterval = LookUpGlx<PFNGLXSWAPINTERVALMESAPROC>("glXSwapIntervalMESA");
        if (swapInterval != nullptr && swapInterval(interval) == 0) {
            return true;
        }
    }
    if (ListsExtension(extensions, "GLX_SGI_swap_control")) {
        auto swapInterval = LookUpGlx<PFNGLXSWAPINTERVALSGIPROC>("glXSwapIntervalSGI");
        return swapInterval != nullptr && swapInterval(interval) == 0;
    }
    return false;
}

void DestroyGLContext(void*, void* device, void* render) {
    GlxSurface* s = static_cast<GlxSurface*>(device);
    if (s == nullptr) {
        return;
    }
    const XErrorHandler previous = SetXErrorTrap(s->display); // the window may be gone already
    glXMakeCurrent(s->display, None, nullptr);
    glXDestroyContext(s->display, static_cast<GLXContext>(render));
    ReleaseXErrorTrap(s->display, previous);
    delete s;
}

void SwapGLBuffers(void* device) {
    const GlxSurface* s = static_cast<const GlxSurface*>(device);
    if (s == nullptr) {
        return;
    }
    if (s->doubleBuffered) {
        glXSwapBuffers(s->display, s->window);
    } else {
        glFlush();
    }
}

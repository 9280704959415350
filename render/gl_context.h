// gl_context.h -- the rendering context of a view; one implementation per platform
// (gl_context_win32.cpp, gl_context_egl.cpp, gl_context_glx.cpp) with the same functions.
#pragma once

// Platform handles, kept opaque so that the portable renderer includes no platform header.
// Windows: window = HWND, device = HDC, render = HGLRC.
// EGL: window = HeadlessView*, device = the off-screen surface's record, render = EGLContext.
// GLX: window = X11View* (gl_context_glx.h), device = the window's record, render = GLXContext.
struct GLContext {
    void* device;
    void* render;
};

// The view of the headless context: an off-screen surface of this size.
struct HeadlessView {
    int width;
    int height;
};

// Attaches an RGBA context with a 16-bit depth buffer and makes it current: double-buffered on
// a window; the headless surface has a single buffer, which frames are read back from.
// It leaves the model alone: the front end has started its scene. On X11 the window's own visual
// is used: single-buffered visuals show a frame by flushing it.
// Null handles when no context can be had, with whatever was got on the way released.
GLContext CreateGLContext(void* window);
// Why the last CreateGLContext on that window failed, in a few words.
const char* GLContextFailure(void* window);
// Does nothing with the null handles of a failed creation.
void DestroyGLContext(void* window, void* device, void* render);
// Shows the back buffer.
void SwapGLBuffers(void* device);
// Asks that each swap wait for that many refreshes of the display, with the context current;
// true when the driver offers that and took it. The headless surface has no display to wait for.
bool SetSwapInterval(void* device, int interval);

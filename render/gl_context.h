// gl_context.h -- the rendering context of a view; one implementation per platform
// (gl_context_win32.cpp, gl_context_egl.cpp) with the same functions.
#pragma once

// Platform handles, kept opaque so that the portable renderer includes no platform header.
// Windows: window = HWND, device = HDC, render = HGLRC.
// EGL: window = HeadlessView*, device = the off-screen surface's record, render = EGLContext.
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
// On Windows it also reseeds the model's random source with the tick count.
GLContext CreateGLContext(void* window);
void DestroyGLContext(void* window, void* device, void* render);
// Shows the back buffer.
void SwapGLBuffers(void* device);
// Asks that each swap wait for that many refreshes of the display, with the context current;
// true when the driver offers that and took it. The headless surface has no display to wait for.
bool SetSwapInterval(void* device, int interval);

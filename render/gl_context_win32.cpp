// gl_context_win32.cpp -- the saver window's WGL context.
#include <windows.h>

#include "model/scene.h"
#include "render/gl_context.h"

GLContext CreateGLContext(void* window) {
    HWND hwnd = static_cast<HWND>(window);
    PIXELFORMATDESCRIPTOR request = {};
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 24;
    request.cDepthBits = 16;
    request.iLayerType = PFD_MAIN_PLANE;

    HDC dc = GetDC(hwnd);
    const int format = ChoosePixelFormat(dc, &request);
    SetPixelFormat(dc, format, &request);
    HGLRC rc = wglCreateContext(dc);
    wglMakeCurrent(dc, rc);
    SeedRandom(GetTickCount());
    return GLContext{dc, rc};
}

void DestroyGLContext(void* window, void* device, void* render) {
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(static_cast<HGLRC>(render));
    ReleaseDC(static_cast<HWND>(window), static_cast<HDC>(device));
}

void SwapGLBuffers(void* device) {
    SwapBuffers(static_cast<HDC>(device));
}

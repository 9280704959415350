// gl_context_win32.cpp -- the saver window's WGL context.
#include <windows.h>

#include "render/gl.h"
#include "render/extension_list.h"
#include "render/gl_context.h"

typedef const char*(WINAPI* GetExtensionsStringARBProc)(HDC dc);
typedef const char*(WINAPI* GetExtensionsStringEXTProc)();
typedef BOOL(WINAPI* SwapIntervalEXTProc)(int interval);

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
    if (dc == nullptr) {
        return GLContext{nullptr, nullptr};
    }
    const int format = ChoosePixelFormat(dc, &request);
    HGLRC rc = nullptr;
    if (format != 0 && SetPixelFormat(dc, format, &request)) {
        rc = wglCreateContext(dc);
    }
    if (rc != nullptr && !wglMakeCurrent(dc, rc)) {
        wglDeleteContext(rc);
        rc = nullptr;
    }
    if (rc == nullptr) {
        ReleaseDC(hwnd, dc);
        return GLContext{nullptr, nullptr};
    }
    return GLContext{dc, rc};
}

void DestroyGLContext(void* window, void* device, void* render) {
    if (device == nullptr) {
        return;
    }
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(static_cast<HGLRC>(render));
    ReleaseDC(static_cast<HWND>(window), static_cast<HDC>(device));
}

void SwapGLBuffers(void* device) {
    SwapBuffers(static_cast<HDC>(device));
}

// Drivers name their WGL extensions in either WGL list, and older ones only among the GL ones.
static bool OffersWGLExtension(HDC dc, const char* name) {
    const GetExtensionsStringARBProc arb = reinterpret_cast<GetExtensionsStringARBProc>(
        reinterpret_cast<void*>(wglGetProcAddress("wglGetExtensionsStringARB")));
    if (arb != nullptr && ListsExtension(arb(dc), name)) {
        return true;
    }
    const GetExtensionsStringEXTProc ext = reinterpret_cast<GetExtensionsStringEXTProc>(
        reinterpret_cast<void*>(wglGetProcAddress("wglGetExtensionsStringEXT")));
    if (ext != nullptr && ListsExtension(ext(), name)) {
        return true;
    }
    return ListsExtension(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), name);
}

bool SetSwapInterval(void* device, int interval) {
    if (!OffersWGLExtension(static_cast<HDC>(device), "WGL_EXT_swap_control")) {
        return false;
    }
    const SwapIntervalEXTProc swapInterval = reinterpret_cast<SwapIntervalEXTProc>(
        reinterpret_cast<void*>(wglGetProcAddress("wglSwapIntervalEXT")));
    return swapInterval != nullptr && swapInterval(interval) != FALSE;
}

const char* GLContextFailure(void*) {
    return "no OpenGL context for the window";
}

// gdi_presenter_win32.cpp -- the GDI presenter: the picture drawn into a 32-bit top-down DIB
// section of the client size and copied to the window with BitBlt.
#include "shell/gdi_presenter_win32.h"

#include <windows.h>

#include <cstdint>

#include "model/scene.h"
#include "picture/font.h"
#include "picture/picture.h"

namespace {

// One window per process, so one record.
struct GdiFrames {
    HWND window;
    HDC windowDc; // the class's own device context (CS_OWNDC): taken once, kept
    HDC memoryDc; // holds the section, for BitBlt
    HBITMAP section;
    HGDIOBJ firstBitmap; // what the memory context held before the section
    uint32_t* pixels;    // the section's bits; null: the view is not drawn
    int width, height;
    bool pictureTried; // the picture's buffers were sized for this section
    bool pictureSized;
    TexelLayout layout;
};

GdiFrames g_gdi;

void FreeSection() {
    if (g_gdi.section != nullptr) {
        SelectObject(g_gdi.memoryDc, g_gdi.firstBitmap);
        DeleteObject(g_gdi.section);
    }
    g_gdi.section = nullptr;
    g_gdi.pixels = nullptr;
}

// A view that is empty, too large or refused its memory gets no section; its frames draw nothing.
void SizeSection(int width, int height) {
    FreeSection();
    g_gdi.width = width;
    g_gdi.height = height;
    g_gdi.pictureTried = false;
    g_gdi.pictureSized = false;
    const long long pixels = static_cast<long long>(width) * height;
    if (width <= 0 || height <= 0 || pixels > kMaxViewPixels) {
        return;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // rows from the top, as the picture writes them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(g_gdi.windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr || bits == nullptr) {
        if (section != nullptr) {
            DeleteObject(section);
        }
        return;
    }
    g_gdi.firstBitmap = SelectObject(g_gdi.memoryDc, section);
    g_gdi.section = section;
    g_gdi.pixels = static_cast<uint32_t*>(bits);
    // Until the first frame, an expose shows the background rather than the section's zeros.
    const uint32_t clear = ClearPixel(g_gdi.layout);
    for (long long i = 0; i < pixels; ++i) {
        g_gdi.pixels[i] = clear;
    }
    ForgetPictureContents(); // the new section may lie where the last one was
}

void StopGdi() {
    FreeSection();
    if (g_gdi.memoryDc != nullptr) {
        DeleteDC(g_gdi.memoryDc);
    }
    if (g_gdi.windowDc != nullptr) {
        ReleaseDC(g_gdi.window, g_gdi.windowDc);
    }
    g_gdi = GdiFrames{};
}

bool StartGdi(void* surface, int width, int height, std::string* error) {
    StopGdi();
    g_gdi.window = static_cast<HWND>(surface);
    // BI_RGB's 32-bit pixel: blue in the low byte, the top byte unused.
    LayoutFromMasks(0xFF0000u, 0xFF00u, 0xFFu, 0u, &g_gdi.layout);
    g_gdi.windowDc = GetDC(g_gdi.window);
    g_gdi.memoryDc = g_gdi.windowDc != nullptr ? CreateCompatibleDC(g_gdi.windowDc) : nullptr;
    if (g_gdi.memoryDc == nullptr) {
        *error = "no device context for the window";
        StopGdi();
        return false;
    }
    SizeSection(width, height);
    return true;
}

// The animation goes on at the new size: only the section and the picture's buffers change.
void ResizeGdi(int width, int height) {
    g_model.scene.viewWidth = width;
    g_model.scene.viewHeight = height;
    SizeSection(width, height);
}

bool DrawGdi(const char* readout) {
    // Sized at the first frame, as the scene that gives the cell size starts after the presenter.
    if (!g_gdi.pictureTried && g_gdi.pixels != nullptr) {
        g_gdi.pictureTried = true;
        g_gdi.pictureSized = SizePicture(g_gdi.width, g_gdi.height);
    }
    if (!g_gdi.pictureSized || g_model.scene.viewWidth != g_gdi.width ||
        g_model.scene.viewHeight != g_gdi.height) {
        return false;
    }
    const PictureImage image{g_gdi.pixels, g_gdi.width, g_gdi.height, g_gdi.width, g_gdi.layout};
    DrawPictureFrame(image);
    if (readout != nullptr) {
        DrawPictureText(image, readout);
    }
    return true;
}

void PresentGdi() {
    if (g_gdi.section != nullptr) {
        BitBlt(g_gdi.windowDc, 0, 0, g_gdi.width, g_gdi.height, g_gdi.memoryDc, 0, 0, SRCCOPY);
    }
}

} // namespace

const Presenter kGdiPresenter = {"image", StartGdi, ResizeGdi, DrawGdi, PresentGdi, StopGdi};

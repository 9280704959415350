// gdi_presenter_win32.cpp -- the GDI presenter: the picture drawn into a 32-bit top-down DIB
// section of the client size and copied to the window with BitBlt.
#include "shell/gdi_presenter_win32.h"

#include <windows.h>

#include <cstdint>

#include "picture/picture.h"

namespace {

struct GdiFrames {
    HWND window;
    HDC windowDc; // the class's own device context (CS_OWNDC): taken once, kept
    HDC memoryDc; // holds the section, for BitBlt
    HBITMAP section;
    HGDIOBJ firstBitmap; // what the memory context held before the section
    PictureImage image;  // the section's bits; null pixels: the view is not drawn
    PictureBuffers picture;
};

void FreeSection(GdiFrames& g) {
    if (g.section != nullptr) {
        SelectObject(g.memoryDc, g.firstBitmap);
        DeleteObject(g.section);
    }
    g.section = nullptr;
    g.image.pixels = nullptr;
}

// A view that is empty, too large or refused its memory gets no section; its frames draw nothing.
void SizeSection(void* frames, const ModelState& model) {
    GdiFrames& g = *static_cast<GdiFrames*>(frames);
    FreeSection(g);
    const int width = model.scene.viewWidth;
    const int height = model.scene.viewHeight;
    // BI_RGB's 32-bit pixel: blue in the low byte, the top byte unused.
    g.image = PictureImage{nullptr, width, height, width, {16, 8, 0, 0}, {}};
    const long long pixels = static_cast<long long>(width) * height;
    if (width <= 0 || height <= 0 || pixels > kMaxViewPixels || !SizePicture(g.picture, model)) {
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
    HBITMAP section = CreateDIBSection(g.windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr || bits == nullptr) {
        if (section != nullptr) {
            DeleteObject(section);
        }
        return;
    }
    g.firstBitmap = SelectObject(g.memoryDc, section);
    g.section = section;
    g.image.pixels = static_cast<uint32_t*>(bits);
    // Until the first frame, an expose shows the background rather than the section's zeros.
    const uint32_t clear = ClearPixel(model.scene, g.image.layout);
    for (long long i = 0; i < pixels; ++i) {
        g.image.pixels[i] = clear;
    }
}

void StopGdi(void* frames) {
    GdiFrames* g = static_cast<GdiFrames*>(frames);
    FreeSection(*g);
    if (g->memoryDc != nullptr) {
        DeleteDC(g->memoryDc);
    }
    if (g->windowDc != nullptr) {
        ReleaseDC(g->window, g->windowDc);
    }
    delete g;
}

void* StartGdi(void* surface, const ModelState& model, std::string* error) {
    GdiFrames* g = new GdiFrames{};
    g->window = static_cast<HWND>(surface);
    g->windowDc = GetDC(g->window);
    g->memoryDc = g->windowDc != nullptr ? CreateCompatibleDC(g->windowDc) : nullptr;
    if (g->memoryDc == nullptr) {
        *error = "no device context for the window";
        StopGdi(g);
        return nullptr;
    }
    SizeSection(g, model);
    return g;
}

bool DrawGdi(void* frames, const ModelState& model, const char* readout) {
    GdiFrames& g = *static_cast<GdiFrames*>(frames);
    return DrawPicture(model, g.picture, g.image, readout);
}

void PresentGdi(void* frames) {
    GdiFrames& g = *static_cast<GdiFrames*>(frames);
    if (g.section != nullptr) {
        BitBlt(g.windowDc, 0, 0, g.image.width, g.image.height, g.memoryDc, 0, 0, SRCCOPY);
    }
}

bool GdiDrawsView(void* frames) {
    return static_cast<GdiFrames*>(frames)->section != nullptr;
}

} // namespace

const Presenter kGdiPresenter = {
    PresentChoice::kImage, StartGdi, SizeSection, DrawGdi, PresentGdi, StopGdi, nullptr, nullptr,
    GdiDrawsView};

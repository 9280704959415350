// ripplefield_web.cpp -- the page's WebAssembly entry points: a scene started at the canvas's size,
// one frame at a reading of the page's counter, drawn into RGBA bytes that putImageData takes.
#include <cstdint>
#include <cstdlib>

#include "model/animation.h"
#include "model/scene.h"
#include "picture/font.h"
#include "picture/picture.h"

#define WEB_EXPORT(name) extern "C" __attribute__((export_name(#name), used))

namespace {
// As many pixels as the native saver draws; a 4K view has 8.3 million.
constexpr long long kMaxWebPixels = 1LL << 27;

struct Canvas {
    int width, height;
    uint32_t* pixels; // R, G, B, A bytes, rows from the top, as ImageData holds them
    char readout[128];
};
Canvas g_canvas = {0, 0, nullptr, ""};

// The margins come out of the picture with their alpha bits clear (GL clears to alpha 0), which a
// canvas would premultiply into black: their rows are made opaque. A row whose first pixel has no
// red is a margin's (a cell's red is at least 0.4, and the readout starts further right).
void MakeMarginsOpaque(uint32_t* pixels, int width, int height) {
    for (int y = 0; y < height; ++y) {
        uint32_t* const row = pixels + static_cast<size_t>(y) * width;
        if ((row[0] & 0xFFu) == 0) {
            for (int x = 0; x < width; ++x) {
                row[x] |= 0xFF000000u;
            }
        }
    }
}

// The image and the picture's buffers for a view of that size; false, with none held, when the
// view is empty, too large or out of memory.
bool SizeCanvas(int width, int height) {
    std::free(g_canvas.pixels);
    g_canvas = Canvas{0, 0, nullptr, ""};
    ForgetPictureContents();
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxWebPixels) {
        return false;
    }
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    g_canvas.pixels = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
    if (g_canvas.pixels == nullptr || !SizePicture(width, height)) {
        std::free(g_canvas.pixels);
        g_canvas.pixels = nullptr;
        return false;
    }
    g_canvas.width = width;
    g_canvas.height = height;
    g_model.scene.viewWidth = width;
    g_model.scene.viewHeight = height;
    return true;
}
} // namespace

// A freshly seeded scene for a canvas of that size, as a native program starts its one scene
// (the clock from zero too); the image's address, or 0 when the view cannot be drawn.
WEB_EXPORT(RippleStart) uint32_t* RippleStart(uint32_t seed, int width, int height) {
    ResetModelState();
    SeedRandom(seed);
    g_model.scene.viewWidth = width;
    g_model.scene.viewHeight = height;
    ResetScene();
    return SizeCanvas(width, height) ? g_canvas.pixels : nullptr;
}

// The canvas's new size: the animation goes on.
WEB_EXPORT(RippleResize) uint32_t* RippleResize(int width, int height) {
    return SizeCanvas(width, height) ? g_canvas.pixels : nullptr;
}

// Where the page writes the readout's text (lines split at '\n', up to 127 bytes and a zero).
WEB_EXPORT(RippleReadout) char* RippleReadout() {
    return g_canvas.readout;
}

// One frame at a reading of the counter (milliseconds, wrapped to 32 bits as the native counter
// is): the model steps, the picture is drawn, and the readout over it when withReadout is set.
// False when there is no image to show.
WEB_EXPORT(RippleFrame) bool RippleFrame(int milliseconds, bool withReadout) {
    AdvanceFrame(milliseconds);
    if (g_canvas.pixels == nullptr) {
        return false;
    }
    const PictureImage image{g_canvas.pixels, g_canvas.width, g_canvas.height, g_canvas.width,
                             kRgbaTexels};
    DrawPictureFrame(image);
    if (withReadout) {
        DrawPictureText(image, g_canvas.readout);
    }
    MakeMarginsOpaque(g_canvas.pixels, g_canvas.width, g_canvas.height);
    return true;
}

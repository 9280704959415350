// ripplefield_web.cpp -- the page's WebAssembly entry points: the scene started at the canvas's
// size, and one frame step at a time through the canvas presenter (the memory presenter's RGBA
// pixels, which the page hands to putImageData).
#include <cstdint>
#include <string>

#include "frames/frame_step.h"
#include "model/scene.h"
#include "picture/memory_presenter.h"

#define WEB_EXPORT(name) extern "C" __attribute__((export_name(#name), used))

namespace {

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

struct Canvas {
    int width, height;
};
Canvas g_canvas = {0, 0};

bool StartCanvas(void* surface, int width, int height, std::string* error) {
    g_canvas = Canvas{width, height};
    return kMemoryPresenter.start(surface, width, height, error);
}

void ResizeCanvas(int width, int height) {
    g_canvas = Canvas{width, height};
    kMemoryPresenter.resize(width, height);
}

bool DrawCanvas(const char* readout) {
    if (!kMemoryPresenter.draw(readout)) {
        return false;
    }
    MakeMarginsOpaque(const_cast<uint32_t*>(MemoryPresenterPixels()), g_canvas.width,
                      g_canvas.height);
    return true;
}

// The page puts the pixels into the canvas after the step.
void PresentCanvas() {}

void StopCanvas() {
    kMemoryPresenter.stop();
}

// The readout's font has no c or v: the presenter is named for what the page hands the canvas.
const Presenter kCanvasPresenter = {"imagedata", StartCanvas,   ResizeCanvas,
                                    DrawCanvas,  PresentCanvas, StopCanvas};

} // namespace

// A freshly seeded scene for a canvas of that size, as a program starts its one scene (the clock
// from zero too), with the readout when showFps; false when the view cannot be drawn.
WEB_EXPORT(RippleStart) bool RippleStart(uint32_t seed, int width, int height, bool showFps) {
    ResetModelState();
    std::string error;
    const bool started = kCanvasPresenter.start(nullptr, width, height, &error);
    StartScene(seed, width, height);
    StartFrameLoop(&kCanvasPresenter, showFps);
    return started;
}

// The canvas's new size: the animation goes on.
WEB_EXPORT(RippleResize) void RippleResize(int width, int height) {
    g_frameLoop.presenter->resize(width, height);
}

// Every later frame reads the counter as milliseconds (?freeze).
WEB_EXPORT(RippleFreeze) void RippleFreeze(int milliseconds) {
    FreezeFrameCounter(milliseconds);
}

// One due frame; false when the view is not drawn.
WEB_EXPORT(RippleFrame) bool RippleFrame() {
    return StepFrame();
}

// The frame just drawn: RGBA bytes, rows from the top; null when the view is not drawn.
WEB_EXPORT(RipplePixels) const uint32_t* RipplePixels() {
    return MemoryPresenterPixels();
}

// ripplefield_web.cpp -- the page's WebAssembly entry points: the scene started at the canvas's
// size, and one frame step at a time through the canvas presenter (the memory presenter's RGBA
// pixels, which the page hands to putImageData).
#include <cstdint>
#include <string>

#include "frames/frame_step.h"
#include "model/scene.h"
#include "picture/memory_presenter.h"
#include "picture/picture.h"

#define WEB_EXPORT(name) extern "C" __attribute__((export_name(#name), used))

namespace {

// RGBA bytes, the margins opaque too: GL clears to alpha 0, which a canvas would premultiply into
// black.
TexelLayout CanvasLayout() {
    TexelLayout layout = kRgbaTexels;
    layout.clearBits = layout.opaque;
    return layout;
}
const TexelLayout kCanvasLayout = CanvasLayout();

bool StartCanvas(void*, int width, int height, std::string* error) {
    return kMemoryPresenter.start(const_cast<TexelLayout*>(&kCanvasLayout), width, height, error);
}

void ResizeCanvas(int width, int height) {
    kMemoryPresenter.resize(width, height);
}

bool DrawCanvas(const char* readout) {
    return kMemoryPresenter.draw(readout);
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

// The colour the view is cleared to, as an RGBA pixel.
WEB_EXPORT(RippleClearPixel) uint32_t RippleClearPixel() {
    return ClearPixel(kCanvasLayout);
}

// The frame just drawn: RGBA bytes, rows from the top; null when the view is not drawn.
WEB_EXPORT(RipplePixels) const uint32_t* RipplePixels() {
    return MemoryPresenterPixels();
}

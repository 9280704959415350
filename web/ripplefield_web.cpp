// ripplefield_web.cpp -- the page's WebAssembly entry points: the scene started at the canvas's
// size, and one frame step at a time through the canvas presenter (the memory presenter's RGBA
// pixels, which the page hands to putImageData).
#include <cstdint>
#include <string>

#include "frames/frame_step.h"
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
TexelLayout g_canvasLayout = CanvasLayout();

// The page shows one view, so one loop; its presenter is the memory presenter with the canvas's
// layout, whose pixels the page hands to putImageData after each step.
FrameLoop g_page = {};

// The presenter for the view's size, unless it has one: a view too large for memory gets one
// once it shrinks.
bool StartCanvas() {
    if (g_page.presenter == nullptr) {
        std::string error;
        void* frames = kMemoryPresenter.start(&g_canvasLayout, g_page.model, &error);
        if (frames == nullptr) {
            return false;
        }
        AttachPresenter(g_page, &kMemoryPresenter, frames);
    }
    return ViewIsDrawn(g_page) || g_page.model.scene.viewWidth <= 0 ||
           g_page.model.scene.viewHeight <= 0;
}

} // namespace

// A freshly seeded scene for a canvas of that size, as a program starts its one scene (the clock
// from zero too), with the readout when showFps; false when the view cannot be drawn.
WEB_EXPORT(RippleStart) bool RippleStart(uint32_t seed, int width, int height, bool showFps) {
    StopFrameLoop(g_page);
    g_page = FrameLoop{};
    StartFrameLoop(g_page, seed, width, height, showFps);
    return StartCanvas();
}

// The canvas's new size: the animation goes on.
WEB_EXPORT(RippleResize) void RippleResize(int width, int height) {
    ResizeFrames(g_page, width, height);
    StartCanvas();
}

// Every later frame reads the counter as milliseconds (?freeze).
WEB_EXPORT(RippleFreeze) void RippleFreeze(int milliseconds) {
    FreezeFrameCounter(g_page, milliseconds);
}

// One due frame; false when the view is not drawn.
WEB_EXPORT(RippleFrame) bool RippleFrame() {
    return g_page.presenter != nullptr && StepFrame(g_page);
}

// The colour the view is cleared to, as an RGBA pixel.
WEB_EXPORT(RippleClearPixel) uint32_t RippleClearPixel() {
    return ClearPixel(g_page.model.scene, g_canvasLayout);
}

// The frame just drawn: RGBA bytes, rows from the top; null when the view is not drawn.
WEB_EXPORT(RipplePixels) const uint32_t* RipplePixels() {
    return g_page.presenter != nullptr ? MemoryPresenterPixels(g_page.frames) : nullptr;
}

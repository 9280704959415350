// frame.h -- fixed GL state, the band viewport and projection, and the drawing of one frame.
#pragma once

#include "model/band.h"

// Sets the fixed state of a new context, then ApplyScene.
void InitGLState(int width, int height);
// Stores the view size, resets the scene and sizes the view's buffers (ResizeView).
void ApplyScene(int width, int height);
// Sets the view size and sizes everything a frame of it needs (the walk's rows, the texture and
// its image or the batched arrays, for the submission mode in use), without touching the scene;
// ApplyScene calls it, and so may a front end that follows its window's size, with the context
// current. Returns whether the view is drawn: not when it has more than kMaxViewPixels pixels or
// a buffer cannot be had. Frames of a view that is not drawn still advance the model's clock and
// oscillators, so time runs on, but draw and present nothing.
bool ResizeView(int width, int height);
// Whether the view as last sized is drawn.
bool ViewIsDrawn();
// The viewport and the projection of the band's rows (model/band.h).
void SetBandViewport(double width, double height, double letterbox);
void SetBandOrtho(double width, double height, double letterbox);
void ClearFrame();
// Draws the model's current frame into the back buffer, without advancing it.
void DrawFrame();
// Reads the counter, advances the model to that reading (AdvanceFrame) and draws the frame.
void RenderFrame();
void DrawField();
// RenderFrame, then shows it.
void PresentFrame(void* device);
// The counter that RenderFrame reads: ReadElapsedMilliseconds (frames/elapsed.h) unless a test
// puts its own in place.
extern int (*g_readFrameCounter)();

// How DrawField hands its cells to GL: one glBegin/glEnd of immediate calls; the same quads,
// colours and order from client arrays, a few thousand cells per glDrawArrays; or the colours as
// one texel per cell of a texture drawn over the grid in a few quads, with the quads' pixels.
enum class SubmitMode { kImmediate, kBatched, kTexture };

const char* SubmitModeName(SubmitMode mode);
// The mode a request names ("immediate", "batched" or "texture"; null or empty for none). No
// request, or a name that is none of these (with one line on stderr), gives the texture mode.
SubmitMode PickSubmitMode(const char* request);
// Makes DrawField use a mode; the next frame sizes the view's buffers for it if they were sized
// for another.
void SelectSubmitMode(SubmitMode mode);
// The mode in use; on first use picked from RIPPLEFIELD_SUBMIT. A texture that GL cannot make
// switches the run to the batched mode, with one line on stderr.
SubmitMode ActiveSubmitMode();

// Limits that tests lower to reach the fallbacks, taking effect at the next ResizeView: the
// texture's side (0 for the driver's GL_MAX_TEXTURE_SIZE), the pixels of a drawn view (0 for
// kMaxViewPixels), and a texture allocation that GL refuses with an error.
struct FrameLimits {
    int maxTextureSize;
    long long maxViewPixels;
    bool refuseTexture;
};
void SetFrameLimits(const FrameLimits& limits);

// frame.h -- fixed GL state, the band viewport and projection, and the drawing of one frame.
#pragma once

#include "model/band.h"
#include "model/field.h"
#include "model/scene.h"
#include "render/texture_frame.h"

#include <vector>

// How DrawField hands its cells to GL: one glBegin/glEnd of immediate calls; the same quads,
// colours and order from client arrays, a few thousand cells per glDrawArrays; or the colours as
// one texel per cell of a texture drawn over the grid in a few quads, with the quads' pixels.
enum class SubmitMode { kImmediate, kBatched, kTexture };

// The client arrays of the batched mode, kept from frame to frame. The corners depend only on the
// band's rows and the columns, which change rarely, so they are written again only then. The
// colours go to GL a few thousand cells at a time, while they are still in the cache.
struct QuadBatch {
    // The integer corners as floats: exact, and the format every driver takes as it is.
    std::vector<float> corners; // 4 vertices of 2 coordinates per cell of the frame
    std::vector<float> colours; // the cell's colour at each of its 4 vertices, for one draw
    int cells;                  // cells of this frame so far
    int drawn;                  // of which already drawn
    bool writeCorners;
    bool haveCorners; // corners of the walk below are in place
    int width, yStart, yEnd;
    double cellSize;
};

// What one context's frames need, sized when the view or the submission mode changes, never
// while a frame is drawn. The GL presenter keeps one per context.
struct GlView {
    bool drawn; // false: frames advance the model but draw and present nothing
    bool sized; // for sizedMode
    SubmitMode sizedMode;
    int columns, rows; // the most cells across, and up the band (at no letterbox)
    FieldRowBuffers fieldRows;
    QuadBatch batch;
    CellTexture texture;
};

// Sets the fixed state of a new context, then ApplyScene.
void InitGLState(GlView& view, const ModelState& model);
// Hands the scene's clear colour and fog to GL and sizes the view's buffers (ResizeView); the
// scene itself is left as it is.
void ApplyScene(GlView& view, const ModelState& model);
// Sizes everything a frame of the model's view needs (the walk's rows, the texture and its image
// or the batched arrays, for the submission mode in use), with the context current. Returns
// whether the view is drawn: not when it has more than kMaxViewPixels pixels or a buffer cannot be
// had. Frames of a view that is not drawn still advance the model's clock and oscillators, so time
// runs on, but draw and present nothing.
bool ResizeView(GlView& view, const ModelState& model);
// The viewport and the projection of the band's rows (model/band.h).
void SetBandViewport(double width, double height, double letterbox);
void SetBandOrtho(double width, double height, double letterbox);
void ClearFrame();
// Draws the model's current frame into the back buffer, without advancing it.
void DrawFrame(GlView& view, const ModelState& model);
void DrawField(GlView& view, const ModelState& model);

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

// frame_check.h -- reading a drawn frame back and checking it against the model's cells, on any
// context.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "render/frame.h"

struct FrameCell {
    int x, y, x2, y2;
    float rgb[3];
};

// From now on the counter that RenderFrame reads shows this value.
void SetFrameCounter(int milliseconds);

// The cells of the frame just drawn: the model does not change while a frame is drawn.
std::vector<FrameCell> CellsOfLastFrame();
// RGBA rows of the current read buffer, bottom row first.
std::vector<unsigned char> ReadFramePixels(int width, int height);
bool IsClearColour(const unsigned char* rgba);
// Every cell whose centre lies inside the band shows its colour there (so none was culled), and
// the strips above and below the band keep the clear colour.
::testing::AssertionResult FrameMatchesCells(const std::vector<unsigned char>& pixels, int width,
                                             int height);

// Draws the current scene's field under the band of a letterbox, in a mode, on a cleared frame.
void DrawFieldInBand(SubmitMode mode, double letterbox);

// What a comparison of the texture mode with the batched one covered.
struct IdentityCount {
    int frames = 0;
    long long pixels = 0;
    int mismatchFrames = 0; // the viewport one row lower than the projection's rows
    int tieFrames = 0;      // of those, frames with a cell edge within 1/128 of a pixel centre
};

// Draws the current scene at each letterbox in the batched and in the texture mode on the current
// context, whose surface is width x height, and compares every pixel read back. Leaves the texture
// mode selected, and GL as the fixed state has it.
::testing::AssertionResult TextureMatchesBatched(int width, int height,
                                                 const std::vector<double>& letterboxes,
                                                 IdentityCount* count);
// Whether a cell edge of the band falls within 1/128 of a pixel centre.
bool HasEdgeNearPixelCentre(const BandRows& band, int height);
// n letterboxes spread over the band's range, 0 and 0.15 included.
std::vector<double> SpreadLetterboxes(int n);

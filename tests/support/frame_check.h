// frame_check.h -- reading a drawn frame back and checking it against the model's cells, on any
// context.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "cells.h"
#include "frames/frame_step.h"
#include "render/frame.h"

// A loop's presenter on a context the test made itself: it draws and swaps as the GL presenter
// does, into its own view's buffers.
struct ContextFrames {
    GlView view;
    void* device;
};
// The fixed state for the loop's scene on the current context, and frames to it from now on.
void AttachCurrentContext(FrameLoop& loop, ContextFrames& frames, void* device);
// One frame at that reading of the counter through the frame step.
void StepFrameAt(FrameLoop& loop, int milliseconds);

// RGBA rows of the current read buffer, bottom row first.
std::vector<unsigned char> ReadFramePixels(int width, int height);

// Draws the model's field under the band of a letterbox, in a mode, on a cleared frame;
// DrawnFieldPixels also reads the width x height frame back.
void DrawFieldInBand(GlView& view, ModelState& model, SubmitMode mode, double letterbox);
std::vector<unsigned char> DrawnFieldPixels(GlView& view, ModelState& model, SubmitMode mode,
                                            double letterbox, int width, int height);

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
::testing::AssertionResult TextureMatchesBatched(GlView& view, ModelState& model, int width,
                                                 int height, const std::vector<double>& letterboxes,
                                                 IdentityCount* count);
// Adds a compared frame of that band; prints what the comparisons covered.
void CountComparedFrame(IdentityCount* count, const BandRows& band, int width, int height);
void PrintIdentityCount(const IdentityCount& count);
// Whether a cell edge of the band falls within 1/128 of a pixel centre.
bool HasEdgeNearPixelCentre(const BandRows& band, int height);
// n letterboxes spread over the band's range, 0 and 0.15 included.
std::vector<double> SpreadLetterboxes(int n);

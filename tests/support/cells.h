// cells.h -- the model's cells as a list, the model run as the still renderer runs it, and a
// frame's pixels checked against its cells.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "model/field.h"

struct FieldCell {
    int x, y, x2, y2;
    float rgb[3];
};

// The cells of the model's current frame in the walk's order, shaded by the path in use, with
// their texels written too when texels is given.
std::vector<FieldCell> CollectCells(const ModelState& model, const FieldTexels* texels = nullptr);

// A fresh model of that view and seed, stepped to each reading in turn.
ModelState ModelAt(int width, int height, uint32_t seed, const std::vector<int>& ticks);

bool IsClearColour(const unsigned char* rgb);
// RGBA rows, bottom row first, of a frame of the model's current state: every cell whose centre
// lies inside the band shows its colour there (so none was culled), and the strips above and below
// the band keep the clear colour.
::testing::AssertionResult FrameMatchesCells(const ModelState& model,
                                             const std::vector<unsigned char>& pixels, int width,
                                             int height);

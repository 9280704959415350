// frame_check.h -- reading a drawn frame back and checking it against the model's cells, on any
// context.
#pragma once

#include <gtest/gtest.h>

#include <vector>

struct FrameCell {
    int x, y, x2, y2;
    float rgb[3];
};

// The cells of the frame just drawn: the model does not change while a frame is drawn.
std::vector<FrameCell> CellsOfLastFrame();
// RGBA rows of the current read buffer, bottom row first.
std::vector<unsigned char> ReadFramePixels(int width, int height);
bool IsClearColour(const unsigned char* rgba);
// Every cell whose centre lies inside the band shows its colour there (so none was culled), and
// the strips above and below the band keep the clear colour.
::testing::AssertionResult FrameMatchesCells(const std::vector<unsigned char>& pixels, int width,
                                             int height);

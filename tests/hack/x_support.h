// x_support.h -- what the display mode's tests share besides programs and X servers: pixels read
// from the X server, and windows to draw in.
#pragma once

// Google Test first: Xlib defines None and Bool as macros, which its headers use as names.
#include <gtest/gtest.h>

#include "programs_posix.h"

#include <X11/Xlib.h>

#include <string>
#include <vector>

struct Rgb {
    unsigned char r, g, b;
};

// A rectangle of the window's contents as the X server holds them, rows from the top.
struct Snapshot {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;
    const Rgb& At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Snapshot TakeSnapshot(Display* display, Window window, int x, int y, int width, int height);
// The picture's colours: the ramp runs from dark red to pale pink-white, red always the largest.
bool IsFieldColour(const Rgb& p);
// Whether nine in ten pixels of a row of the snapshot show field colours.
bool RowShowsField(const Snapshot& snapshot, int y);
// A plain window of the default visual, filled with one colour, mapped at (x, y) on the root.
Window MakeWindow(Display* display, int x, int y, int width, int height, unsigned long pixel);
std::string WindowIdText(Window window);

// x_support.cpp -- pixels and windows for the display mode's tests.
#include "x_support.h"

#include <X11/Xutil.h>

#include <cstdio>

// The top 8 bits of a channel, whatever its width (10 bits on a 30-bit display).
static unsigned char Channel(unsigned long pixel, unsigned long mask) {
    const unsigned long value = (pixel & mask) >> __builtin_ctzl(mask);
    return static_cast<unsigned char>(value >> (__builtin_popcountl(mask) - 8));
}

Snapshot TakeSnapshot(Display* display, Window window, int x, int y, int width, int height) {
    Snapshot shot;
    XImage* image = XGetImage(display, window, x, y, width, height, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return shot;
    }
    shot.width = width;
    shot.height = height;
    shot.pixels.resize(static_cast<size_t>(width) * height);
    for (int row = 0; row < height; ++row) {
        for (int col = 0; col < width; ++col) {
            const unsigned long p = XGetPixel(image, col, row);
            shot.pixels[static_cast<size_t>(row) * width + col] =
                Rgb{Channel(p, image->red_mask), Channel(p, image->green_mask),
                    Channel(p, image->blue_mask)};
        }
    }
    XDestroyImage(image);
    return shot;
}

bool IsFieldColour(const Rgb& p) {
    return p.r >= 100 && p.r > p.g && p.r > p.b; // red is at least 0.4 of full
}

bool RowShowsField(const Snapshot& snapshot, int y) {
    int field = 0;
    for (int x = 0; x < snapshot.width; ++x) {
        field += IsFieldColour(snapshot.At(x, y)) ? 1 : 0;
    }
    return field > snapshot.width * 9 / 10;
}

Window MakeWindow(Display* display, int x, int y, int width, int height, unsigned long pixel) {
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, width, height, 0, 0, pixel);
    XMapWindow(display, window);
    XSync(display, False);
    return window;
}

std::string WindowIdText(Window window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

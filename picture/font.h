// font.h -- the readout's 5x7 font and where its text goes in a view, for the GL overlay and for
// text drawn into the picture.
#pragma once

#include "picture/picture.h"

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kGlyphAdvance = 6; // glyph and a column of space
constexpr int kLineAdvance = 9;  // glyph and two rows of space
constexpr int kMaxTextScale = 4;

// Rows from the top; bit 4 is the leftmost pixel.
struct Glyph {
    char character;
    unsigned char rows[kGlyphHeight];
};

// The glyph of a character; null for one the readout never writes.
const Glyph* FindGlyph(char c);
// Size of one glyph pixel in pixels, for a view this high.
int TextScale(int height);
// Where the text's first line starts in a view this high: its lower-left pixel, rows counted from
// the bottom. Its lines go downwards, so the last one sits in the lower-left corner.
void PlaceText(const char* text, int height, int* x, int* y);
// The text as the GL overlay draws it, white over a black shadow one pixel right and down.
void DrawPictureText(PictureImage& image, const char* text);

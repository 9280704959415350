// font.cpp -- the 5x7 font, where text goes, and text drawn into a picture's pixels.
#include "picture/font.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr int kMargin = 8;

// Only what the readout writes.
constexpr Glyph kFont[] = {
    {'0', {0b01110, 0b10001, 0b10011, 0b10101, 0b11001, 0b10001, 0b01110}},
    {'1', {0b00100, 0b01100, 0b00100, 0b00100, 0b00100, 0b00100, 0b01110}},
    {'2', {0b01110, 0b10001, 0b00001, 0b00010, 0b00100, 0b01000, 0b11111}},
    {'3', {0b11111, 0b00010, 0b00100, 0b00010, 0b00001, 0b10001, 0b01110}},
    {'4', {0b00010, 0b00110, 0b01010, 0b10010, 0b11111, 0b00010, 0b00010}},
    {'5', {0b11111, 0b10000, 0b11110, 0b00001, 0b00001, 0b10001, 0b01110}},
    {'6', {0b00110, 0b01000, 0b10000, 0b11110, 0b10001, 0b10001, 0b01110}},
    {'7', {0b11111, 0b00001, 0b00010, 0b00100, 0b01000, 0b01000, 0b01000}},
    {'8', {0b01110, 0b10001, 0b10001, 0b01110, 0b10001, 0b10001, 0b01110}},
    {'9', {0b01110, 0b10001, 0b10001, 0b01111, 0b00001, 0b00010, 0b01100}},
    {'.', {0b00000, 0b00000, 0b00000, 0b00000, 0b00000, 0b01100, 0b01100}},
    {':', {0b00000, 0b01100, 0b01100, 0b00000, 0b01100, 0b01100, 0b00000}},
    {'%', {0b11000, 0b11001, 0b00010, 0b00100, 0b01000, 0b10011, 0b00011}},
    {'-', {0b00000, 0b00000, 0b00000, 0b11111, 0b00000, 0b00000, 0b00000}},
    {'F', {0b11111, 0b10000, 0b10000, 0b11110, 0b10000, 0b10000, 0b10000}},
    {'L', {0b10000, 0b10000, 0b10000, 0b10000, 0b10000, 0b10000, 0b11111}},
    {'P', {0b11110, 0b10001, 0b10001, 0b11110, 0b10000, 0b10000, 0b10000}},
    {'S', {0b01111, 0b10000, 0b10000, 0b01110, 0b00001, 0b00001, 0b11110}},
    {'a', {0b00000, 0b00000, 0b01110, 0b00001, 0b01111, 0b10001, 0b01111}},
    {'d', {0b00001, 0b00001, 0b01101, 0b10011, 0b10001, 0b10001, 0b01111}},
    {'e', {0b00000, 0b00000, 0b01110, 0b10001, 0b11111, 0b10000, 0b01110}},
    {'g', {0b00000, 0b01111, 0b10001, 0b10001, 0b01111, 0b00001, 0b01110}},
    {'h', {0b10000, 0b10000, 0b10110, 0b11001, 0b10001, 0b10001, 0b10001}},
    {'i', {0b00100, 0b00000, 0b01100, 0b00100, 0b00100, 0b00100, 0b01110}},
    {'l', {0b01100, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b01110}},
    {'m', {0b00000, 0b00000, 0b11010, 0b10101, 0b10101, 0b10001, 0b10001}},
    {'n', {0b00000, 0b00000, 0b10110, 0b11001, 0b10001, 0b10001, 0b10001}},
    {'o', {0b00000, 0b00000, 0b01110, 0b10001, 0b10001, 0b10001, 0b01110}},
    {'r', {0b00000, 0b00000, 0b10110, 0b11001, 0b10000, 0b10000, 0b10000}},
    {'s', {0b00000, 0b00000, 0b01110, 0b10000, 0b01110, 0b00001, 0b11110}},
    {'t', {0b01000, 0b01000, 0b11100, 0b01000, 0b01000, 0b01001, 0b00110}},
};

// The text's glyph pixels in one colour from (x, y), rows counted from the bottom; a line that
// starts outside the view is not drawn, as GL drops a bitmap at an invalid raster position.
void DrawTextPass(PictureImage& image, const char* text, int x, int y, int scale, uint32_t pixel) {
    int boxLeft = image.width;
    int boxTop = image.height;
    int boxRight = 0;
    int boxBottom = 0;
    int line = 0;
    int column = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\n') {
            ++line;
            column = 0;
            continue;
        }
        const int lineY = y - line * kLineAdvance * scale;
        const Glyph* glyph = FindGlyph(*p);
        const int left = x + column * kGlyphAdvance * scale;
        ++column;
        if (glyph == nullptr || lineY < 0 || lineY >= image.height || x >= image.width) {
            continue;
        }
        boxLeft = std::min(boxLeft, left);
        boxTop = std::min(boxTop, std::max(0, image.height - (lineY + kGlyphHeight * scale)));
        boxRight = std::max(boxRight, std::min(image.width, left + kGlyphWidth * scale));
        boxBottom = std::max(boxBottom, image.height - lineY);
        for (int gy = 0; gy < kGlyphHeight * scale; ++gy) {
            const int row = image.height - 1 - (lineY + gy);
            const unsigned char bits = glyph->rows[kGlyphHeight - 1 - gy / scale];
            for (int gx = 0; gx < kGlyphWidth * scale && row >= 0; ++gx) {
                const int at = left + gx;
                if (at < image.width && (bits & (1u << (kGlyphWidth - 1 - gx / scale)))) {
                    image.pixels[static_cast<size_t>(row) * image.stride + at] = pixel;
                }
            }
        }
    }
    NoteDrawnOver(image, boxLeft, boxTop, boxRight, boxBottom);
}

} // namespace

const Glyph* FindGlyph(char c) {
    for (const Glyph& g : kFont) {
        if (g.character == c) {
            return &g;
        }
    }
    return nullptr;
}

int TextScale(int height) {
    const int scale = height / 720 + 1;
    return scale < kMaxTextScale ? scale : kMaxTextScale;
}

void PlaceText(const char* text, int height, int* x, int* y) {
    const int scale = TextScale(height);
    int lines = 1;
    for (const char* p = text; *p != '\0'; ++p) {
        lines += *p == '\n' ? 1 : 0;
    }
    *x = kMargin * scale / 2 + 1;
    *y = kMargin * scale / 2 + 1 + (lines - 1) * kLineAdvance * scale;
}

void DrawPictureText(PictureImage& image, const char* text) {
    if (image.width <= 0 || image.height <= 0) {
        return;
    }
    const int scale = TextScale(image.height);
    int x = 0;
    int y = 0;
    PlaceText(text, image.height, &x, &y);
    const TexelLayout& l = image.layout;
    const uint32_t white = 0xFFu << l.redShift | 0xFFu << l.greenShift | 0xFFu << l.blueShift;
    DrawTextPass(image, text, x + 1, y - 1, scale, l.opaque);
    DrawTextPass(image, text, x, y, scale, white | l.opaque);
}

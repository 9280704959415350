// fps_overlay.cpp -- the frames-per-second readout: counting, text, and a 5x7 bitmap font.
#include "render/fps_overlay.h"

#include "render/gl.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kAdvance = 6;     // glyph and a column of space
constexpr int kLineAdvance = 9; // glyph and two rows of space
constexpr int kMargin = 8;
constexpr int kMaxScale = 4;

// Rows from the top; bit 4 is the leftmost pixel. Only what the readout writes.
struct Glyph {
    char character;
    unsigned char rows[kGlyphHeight];
};

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
    {'o', {0b00000, 0b00000, 0b01110, 0b10001, 0b10001, 0b10001, 0b01110}},
};

const Glyph* FindGlyph(char c) {
    for (const Glyph& g : kFont) {
        if (g.character == c) {
            return &g;
        }
    }
    return nullptr;
}

// The glyph as a glBitmap image at the given scale: rows from the bottom, bytes packed tightly.
void ScaleGlyph(const Glyph& glyph, int scale, unsigned char* bits) {
    const int rowBytes = (kGlyphWidth * scale + 7) / 8;
    std::memset(bits, 0, static_cast<size_t>(rowBytes) * kGlyphHeight * scale);
    for (int y = 0; y < kGlyphHeight * scale; ++y) {
        const unsigned char row = glyph.rows[kGlyphHeight - 1 - y / scale];
        for (int x = 0; x < kGlyphWidth * scale; ++x) {
            if (row & (1u << (kGlyphWidth - 1 - x / scale))) {
                bits[y * rowBytes + x / 8] |= static_cast<unsigned char>(0x80u >> (x % 8));
            }
        }
    }
}

// One pass over the text from raster position (x, y) of its first line's baseline.
void DrawTextPass(const char* text, int x, int y, int scale) {
    unsigned char bits[(kGlyphWidth * kMaxScale + 7) / 8 * kGlyphHeight * kMaxScale];
    const int lineHeight = kLineAdvance * scale;
    int line = 0;
    glRasterPos2i(x, y);
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\n') {
            ++line;
            glRasterPos2i(x, y - line * lineHeight);
            continue;
        }
        const Glyph* glyph = FindGlyph(*p);
        if (glyph != nullptr) {
            ScaleGlyph(*glyph, scale, bits);
        } else {
            std::memset(bits, 0, sizeof bits);
        }
        glBitmap(kGlyphWidth * scale, kGlyphHeight * scale, 0.0f, 0.0f,
                 static_cast<float>(kAdvance * scale), 0.0f, bits);
    }
}

} // namespace

void StartFpsCounter(FpsCounter* counter, double nowMs, double cpuMs) {
    counter->startMs = nowMs;
    counter->startCpuMs = cpuMs;
    counter->frames = 0;
    counter->fps = -1.0;
    counter->loadPercent = 0.0;
}

void CountFpsFrame(FpsCounter* counter, double nowMs, double cpuMs) {
    ++counter->frames;
    const double elapsed = nowMs - counter->startMs;
    if (elapsed < 1000.0) {
        return;
    }
    counter->fps = counter->frames * 1000.0 / elapsed;
    counter->loadPercent = (cpuMs - counter->startCpuMs) * 100.0 / elapsed;
    counter->startMs = nowMs;
    counter->startCpuMs = cpuMs;
    counter->frames = 0;
}

void FormatFpsReadout(const FpsCounter& counter, char* text, size_t size) {
    if (counter.fps < 0.0) {
        std::snprintf(text, size, "FPS: --\nLoad: --%%");
        return;
    }
    std::snprintf(text, size, "FPS: %.1f\nLoad: %.1f%%", counter.fps, counter.loadPercent);
}

int FpsGlyphScale(int height) {
    const int scale = height / 720 + 1;
    return scale < kMaxScale ? scale : kMaxScale;
}

// Pixel units over the whole window, nothing that would tint or hide a bitmap (texture, fog,
// lighting, tests, blending); the renderer's own state comes back afterwards.
void DrawFpsOverlay(const char* text, int width, int height) {
    if (width <= 0 || height <= 0) {
        return; // nothing to draw into
    }
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_VIEWPORT_BIT | GL_TRANSFORM_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_FOG);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_COLOR_LOGIC_OP);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    const int scale = FpsGlyphScale(height);
    int lines = 1;
    for (const char* p = text; *p != '\0'; ++p) {
        lines += *p == '\n' ? 1 : 0;
    }
    const int x = kMargin * scale / 2 + 1;
    const int y = kMargin * scale / 2 + 1 + (lines - 1) * kLineAdvance * scale;
    glColor3f(0.0f, 0.0f, 0.0f);
    DrawTextPass(text, x + 1, y - 1, scale);
    glColor3f(1.0f, 1.0f, 1.0f);
    DrawTextPass(text, x, y, scale);

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
}

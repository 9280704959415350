// fps_overlay.cpp -- the frames-per-second readout drawn with GL bitmaps of its font.
#include "render/fps_overlay.h"

#include "picture/font.h"
#include "render/gl.h"

#include <cstring>

namespace {

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
    unsigned char bits[(kGlyphWidth * kMaxTextScale + 7) / 8 * kGlyphHeight * kMaxTextScale];
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
                 static_cast<float>(kGlyphAdvance * scale), 0.0f, bits);
    }
}

} // namespace

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

    const int scale = TextScale(height);
    int x = 0;
    int y = 0;
    PlaceText(text, height, &x, &y);
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

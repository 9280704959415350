// texture_frame.cpp -- the cell colours as the texels of one texture per context, uploaded once a
// frame and drawn over the grid in a few quads.
#include "render/texture_frame.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "render/gl.h"

namespace {
int PowerOfTwoAtLeast(int n) {
    int p = 1;
    while (p < n) {
        p *= 2;
    }
    return p;
}

int PowerOfTwoAtMost(int n) {
    int p = 1;
    while (p <= n / 2) {
        p *= 2;
    }
    return p;
}
} // namespace

void ForgetCellTexture(CellTexture& t) {
    t.name = 0;
    t.width = 0;
    t.height = 0;
}

// GL 1.1 textures have power-of-two sides, so the texture is the smallest one that holds a tile.
// It is made again only when that size changes.
bool SizeCellTexture(CellTexture& t, int columns, int rows, int maxSize, bool refuse) {
    const size_t cells = static_cast<size_t>(columns) * static_cast<size_t>(rows);
    if (t.texels.size() < cells) {
        t.texels.resize(cells);
    }
    if (t.strip.size() < static_cast<size_t>(rows)) {
        t.strip.resize(rows);
    }
    if (columns <= 0 || rows <= 0) {
        return true;
    }
    GLint limit = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
    if (maxSize > 0 && maxSize < limit) {
        limit = maxSize;
    }
    limit = PowerOfTwoAtMost(std::max(limit, 1));
    t.tileColumns = std::min(columns, static_cast<int>(limit));
    t.tileRows = std::min(rows, static_cast<int>(limit));
    const int width = PowerOfTwoAtLeast(t.tileColumns);
    const int height = PowerOfTwoAtLeast(t.tileRows);
    if (t.name != 0 && width == t.width && height == t.height) {
        return true;
    }
    // Errors that earlier calls left are not the texture's.
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
    if (t.name == 0) {
        glGenTextures(1, &t.name);
    }
    glBindTexture(GL_TEXTURE_2D, t.name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, refuse ? -1 : width, height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    const GLenum error = glGetError();
    glBindTexture(GL_TEXTURE_2D, 0);
    if (error != GL_NO_ERROR) {
        glDeleteTextures(1, &t.name);
        ForgetCellTexture(t);
        std::fprintf(stderr, "GL refused a %dx%d texture (error 0x%04X): using batched\n", width,
                     height, error);
        return false;
    }
    t.width = width;
    t.height = height;
    return true;
}

// Where the viewport's height and the projection's rows differ, the band is scaled and a cell
// edge can fall on a pixel centre. Which row such pixels show must then be decided by the
// rasteriser's tie rule at a quad's edge, as for the per-cell quads, not by a texture coordinate
// interpolated across the edge, which may land on either side: so the rows beside such an edge
// are quads of their own, each showing one texel row.
static void MarkStripRows(CellTexture& t, const BandRows& band, int yStart, int cell, int rows) {
    unsigned char* strip = t.strip.data();
    std::fill(strip, strip + rows, 0);
    for (int k = 0; k <= rows; ++k) {
        if (BandEdgeNearPixelCentre(band, yStart + k * cell)) {
            strip[std::max(k - 1, 0)] = 1;
            strip[std::min(k, rows - 1)] = 1;
        }
    }
}

// The cells c0 to c0 + n - 1 of rows r0 to r0 + m - 1, whose texels are at the texture's origin,
// as quads with the grid's corners: each run of ordinary rows in one quad, each strip row alone.
// Texture coordinates are k / size, exact in float.
static void DrawTile(const CellTexture& t, int yStart, int cell, int c0, int n, int r0, int m) {
    const GLint x0 = c0 * cell;
    const GLint x1 = (c0 + n) * cell;
    const GLfloat s1 = static_cast<GLfloat>(n) / t.width;
    const GLfloat rowStep = 1.0f / t.height;
    glBegin(GL_QUADS);
    for (int r = r0; r < r0 + m;) {
        int end = r + 1;
        GLfloat t0 = (r - r0) * rowStep;
        GLfloat t1 = t0;
        if (t.strip[r]) {
            t0 = t1 = t0 + 0.5f * rowStep; // the texel row's centre
        } else {
            while (end < r0 + m && !t.strip[end]) {
                ++end;
            }
            t1 = (end - r0) * rowStep;
        }
        const GLint y0 = yStart + r * cell;
        const GLint y1 = yStart + end * cell;
        glTexCoord2f(0.0f, t0);
        glVertex2i(x0, y0);
        glTexCoord2f(s1, t0);
        glVertex2i(x1, y0);
        glTexCoord2f(s1, t1);
        glVertex2i(x1, y1);
        glTexCoord2f(0.0f, t1);
        glVertex2i(x0, y1);
        r = end;
    }
    glEnd();
}

void DrawFieldTexture(CellTexture& t, FieldRowBuffers& fieldRows, const FieldFrame& frame,
                      const BandRows& band, int columns, int rows) {
    if (t.name == 0 || columns <= 0 || rows <= 0) {
        return;
    }
    const FieldTexels image{t.texels.data(), columns, rows};
    WalkField(frame, fieldRows, nullptr, nullptr, &image);
    // Corners step by whole pixels: trunc(x + size) is x + trunc(size) for a whole x.
    const int cell = static_cast<int>(frame.cellSize);
    MarkStripRows(t, band, frame.yStart, cell, rows);
    const bool tiled = columns > t.tileColumns;
    glBindTexture(GL_TEXTURE_2D, t.name);
    glEnable(GL_TEXTURE_2D);
    if (tiled) {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, columns);
    }
    for (int r0 = 0; r0 < rows; r0 += t.tileRows) {
        const int m = std::min(t.tileRows, rows - r0);
        for (int c0 = 0; c0 < columns; c0 += t.tileColumns) {
            const int n = std::min(t.tileColumns, columns - c0);
            const uint32_t* first = &t.texels[static_cast<size_t>(r0) * columns + c0];
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, n, m, GL_RGBA, GL_UNSIGNED_BYTE, first);
            DrawTile(t, frame.yStart, cell, c0, n, r0, m);
        }
    }
    if (tiled) {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    }
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
}

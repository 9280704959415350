// texture_frame.h -- the texture submission mode: the cell grid as the texels of one texture per
// context, drawn with the pixels of the per-cell quads.
#pragma once

#include "model/band.h"
#include "model/field.h"

#include <vector>

// The texture of one context and the image its texels come from.
struct CellTexture {
    unsigned int name;                // 0: none in this context yet
    int width, height;                // its size in texels, powers of two
    int tileColumns, tileRows;        // cells drawn from it at a time: the grid, unless larger
    std::vector<uint32_t> texels;     // the grid, the band's row k at k * columns
    std::vector<unsigned char> strip; // per row of the band: drawn alone, from one texel row
};

// Forgets the texture: a new context has none.
void ForgetCellTexture(CellTexture& texture);
// Sizes the texel image for a grid of up to columns x rows cells and makes the texture for it
// (powers of two per side; tiles of at most maxSize texels, or the driver's maximum when 0 or
// less). Throws std::bad_alloc when the image cannot be had; false, with one line on stderr, when
// GL reports an error for the texture (or refuse asks it to).
bool SizeCellTexture(CellTexture& texture, int columns, int rows, int maxSize, bool refuse);
// Walks the frame's rows into the image, uploads it and draws it over the grid, which must fit the
// size given to SizeCellTexture; band is where the view shows the frame's rows.
void DrawFieldTexture(CellTexture& texture, FieldRowBuffers& fieldRows, const FieldFrame& frame,
                      const BandRows& band, int columns, int rows);

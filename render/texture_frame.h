// texture_frame.h -- the texture submission mode: the cell grid as the texels of one texture per
// context, drawn with the pixels of the per-cell quads.
#pragma once

#include "model/field.h"

// Forgets the texture: a new context has none.
void ForgetCellTexture();
// Sizes the texel image for a grid of up to columns x rows cells and makes the texture for it
// (powers of two per side; tiles of at most maxSize texels, or the driver's maximum when 0 or
// less). Throws std::bad_alloc when the image cannot be had; false, with one line on stderr, when
// GL reports an error for the texture (or refuse asks it to).
bool SizeCellTexture(int columns, int rows, int maxSize, bool refuse);
// Walks the frame's rows into the image, uploads it and draws it over the grid, which must fit the
// size given to SizeCellTexture.
void DrawFieldTexture(const FieldFrame& frame, int columns, int rows);

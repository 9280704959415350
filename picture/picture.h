// picture.h -- the frame's pixels computed on the processor: what the GL renderer draws on
// llvmpipe for the same model state, pixel for pixel, written into a caller's 32-bit image.
#pragma once

#include <cstdint>
#include <vector>

#include "model/field.h"

// What the last frame drawn into an image left there: its rows known to hold the clear colour
// (those above clearAbove and those from clearBelow down), and what was drawn over it since.
// Value-initialised, nothing is known and the next frame fills every row.
struct ImageMargins {
    bool known;
    int clearAbove, clearBelow;
    int overLeft, overTop, overRight, overBottom; // empty when right <= left
};

// A caller's image: rows from the top, each pixel one native 32-bit value whose colour bytes sit
// where the layout says (the alpha bits, if any, set on the cells, and the margins' clearBits).
// Its margins go with it: an image record made for new memory starts knowing nothing.
struct PictureImage {
    uint32_t* pixels;
    int width, height;
    int stride; // pixels from the start of one row to the next, at least width
    TexelLayout layout;
    ImageMargins margins;
};

// The picture's own buffers for one view: its cells in the image's layout, their edges and the
// field walk's rows. Each presenter instance keeps one.
struct PictureBuffers {
    std::vector<uint32_t> cells; // the band's cell rows, bottom first
    std::vector<int> columnEdges;
    std::vector<int> rowEdges;
    FieldRowBuffers fieldRows;
};

// The layout of a pixel with 8-bit channels under these masks, the alpha bits being those of
// alphaMask; false when a mask is not one whole byte of the 32 bits.
bool LayoutFromMasks(uint32_t red, uint32_t green, uint32_t blue, uint32_t alphaMask,
                     TexelLayout* layout);

// Sizes the buffers for the model's view (its size and cells), so that its frames allocate
// nothing; false when they cannot be had.
bool SizePicture(PictureBuffers& buffers, const ModelState& model);
// What every presenter of the picture does for a frame: draws the model's current frame (as
// AdvanceFrame leaves it) into the image, and the readout's text over it unless readout is null.
// The rows that the image's last frame left clear are not filled again where the band has not
// moved. False, drawing nothing, when the image is not the size of the model's view or the buffers
// cannot be had.
bool DrawPicture(const ModelState& model, PictureBuffers& buffers, PictureImage& image,
                 const char* readout);
// The frame alone, into an image of the model's view size whose buffers are sized.
void DrawPictureFrame(const ModelState& model, PictureBuffers& buffers, PictureImage& image);
// Columns [left, right) of rows [top, bottom) from the top of the image hold something else now:
// its next frame clears what of them lies in its margins.
void NoteDrawnOver(PictureImage& image, int left, int top, int right, int bottom);
// The background's pixel in a layout, as GL clears to the scene's clear colour (with the layout's
// clearBits).
uint32_t ClearPixel(const SceneParams& scene, const TexelLayout& layout);
// Row y of the image as R, G, B bytes.
void ReadPictureRow(const PictureImage& image, int y, unsigned char* rgb);

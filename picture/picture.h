// picture.h -- the frame's pixels computed on the processor: what the GL renderer draws on
// llvmpipe for the same model state, pixel for pixel, written into a caller's 32-bit image.
#pragma once

#include <cstdint>

#include "model/field.h"

// A caller's image: rows from the top, each pixel one native 32-bit value whose colour bytes sit
// where the layout says (the alpha bits, if any, set on the cells, and the margins' clearBits).
struct PictureImage {
    uint32_t* pixels;
    int width, height;
    int stride; // pixels from the start of one row to the next, at least width
    TexelLayout layout;
};

// The layout of a pixel with 8-bit channels under these masks, the alpha bits being those of
// alphaMask; false when a mask is not one whole byte of the 32 bits.
bool LayoutFromMasks(uint32_t red, uint32_t green, uint32_t blue, uint32_t alphaMask,
                     TexelLayout* layout);

// Sizes the picture's buffers for views up to that size, so that frames allocate nothing; false
// when they cannot be had.
bool SizePicture(int width, int height);
// Draws the current frame of the model (as AdvanceFrame leaves it) into an image of the scene's
// view size. The margins that the last frame drawn into the same image (the same pixels, size,
// stride and layout) left clear are not filled again where the band has not moved; a few images
// are remembered, for presenters that take turns between buffers. A caller that
// draws over the image says where with NoteDrawnOver (DrawPictureText does so itself); one that
// hands in new memory that may lie where the last image was says so with ForgetPictureContents.
void DrawPictureFrame(const PictureImage& image);
void ForgetPictureContents();
// Columns [left, right) of rows [top, bottom) from the top of the last frame's image hold
// something else now: the next frame clears what of them lies in its margins.
void NoteDrawnOver(int left, int top, int right, int bottom);
// The background's pixel in a layout, as GL clears to the scene's clear colour (with the layout's
// clearBits).
uint32_t ClearPixel(const TexelLayout& layout);

// still_picture.cpp -- the still renderer's frame, for comparing a front end's screen with.
#include "still_picture.h"

#include <gtest/gtest.h>

#include "cells.h"
#include "picture/picture.h"

std::vector<uint32_t> StillPicture(int width, int height, uint32_t seed, int milliseconds,
                                   const TexelLayout& layout) {
    const ModelState model = ModelAt(width, height, seed, {milliseconds});
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    PictureBuffers buffers;
    PictureImage image{pixels.data(), width, height, width, layout, {}};
    EXPECT_TRUE(DrawPicture(model, buffers, image, nullptr));
    return pixels;
}

// still_picture.cpp -- the still renderer's frame, for comparing a front end's screen with.
#include "still_picture.h"

#include <gtest/gtest.h>

#include "cells.h"
#include "picture/picture.h"

std::vector<uint32_t> StillPicture(int width, int height, uint32_t seed, int milliseconds,
                                   const TexelLayout& layout) {
    RunModelTo(width, height, seed, {milliseconds});
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    EXPECT_TRUE(SizePicture(width, height));
    ForgetPictureContents(); // a new buffer, perhaps where the last one was
    DrawPictureFrame(PictureImage{pixels.data(), width, height, width, layout});
    return pixels;
}

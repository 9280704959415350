// The picture on the processor against GL on llvmpipe: every pixel of the per-cell quads and of
// the texture frames, over views from one pixel to 1920x1080 and bands scaled so that cell edges
// fall on pixel centres, drawn into one image per view (or a few in turn, as a presenter's
// buffers) as the band moves, then as the model runs.
#include <gtest/gtest.h>

#include <vector>

#include "model/animation.h"
#include "model/band.h"
#include "model/scene.h"
#include "picture/font.h"
#include "picture/picture.h"
#include "render/frame.h"

#include "frame_check.h"
#include "renderer_test.h"

namespace {

// Letterboxes of n frames whose viewport is a row lower than the projection's rows (a quarter of
// a row short of the next whole row at each margin), between spread ones, in a shuffled order so
// that the band both grows and shrinks between frames.
std::vector<double> MovingLetterboxes(int height, int n) {
    std::vector<double> letterboxes = SpreadLetterboxes(n);
    for (int k = 0; k < n; ++k) {
        const int margin = static_cast<int>(0.15 * height * k / n);
        letterboxes.push_back((margin + 0.75) / height);
    }
    for (size_t k = 1; k < letterboxes.size(); k += 3) {
        std::swap(letterboxes[k], letterboxes[letterboxes.size() - k]);
    }
    return letterboxes;
}

// Whether the picture's pixels are GL's RGBA bytes (rows from the bottom), byte for byte but for
// the margins' alpha, which is the layout's.
::testing::AssertionResult SameAsGL(const PictureImage& image,
                                    const std::vector<unsigned char>& gl) {
    const TexelLayout& l = image.layout;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint32_t p = image.pixels[static_cast<size_t>(y) * image.stride + x];
            const unsigned char* g =
                &gl[4 * (static_cast<size_t>(image.height - 1 - y) * image.width + x)];
            // GL's alpha is 255 on the cells and 0 in the margins, which have the clearBits.
            const uint32_t alpha = p & (l.opaque | l.clearBits);
            if ((p >> l.redShift & 0xFF) != g[0] || (p >> l.greenShift & 0xFF) != g[1] ||
                (p >> l.blueShift & 0xFF) != g[2] ||
                alpha != (g[3] == 255 ? l.opaque : l.clearBits)) {
                return ::testing::AssertionFailure()
                       << "pixel " << x << "," << y << " from the top is 0x" << std::hex << p
                       << std::dec << ", GL shows " << int(g[0]) << "," << int(g[1]) << ","
                       << int(g[2]) << "," << int(g[3]);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace

using PictureTest = HeadlessGLTest;

TEST_F(PictureTest, EveryPixelAsGLDrawsItWithQuadsAndTexture) {
    const TexelLayout xrgb = {16, 8, 0, 0};
    const struct {
        int width, height, frames;
        TexelLayout layout;
        int stride;  // over the width
        int buffers; // images drawn into in turn, as a presenter's buffers
    } views[] = {{1, 1, 4, kRgbaTexels, 0, 1},
                 {5, 5, 8, kRgbaTexels, 3, 2},
                 {7, 13, 8, xrgb, 0, 1},
                 {641, 479, 40, kRgbaTexels, 0, 3},
                 {640, 481, 40, xrgb, 5, 1},
                 {1023, 767, 30, {8, 16, 24, 0xFFu}, 0, 1},
                 {1920, 1080, 40, kRgbaTexels, 0, 2},
                 {1280, 1021, 30, xrgb, 0, 1},
                 {800, 601, 20, {0, 8, 16, 0xFF000000u, 0xFF000000u}, 2, 2}}; // a canvas's
    IdentityCount count;
    for (const auto& v : views) {
        SCOPED_TRACE(::testing::Message() << v.width << "x" << v.height);
        ASSERT_NO_FATAL_FAILURE(OpenContext(v.width, v.height));
        model_ = ModelState{};
        StartScene(model_, 90210, v.width, v.height);
        glView_ = GlView{};
        InitGLState(glView_, model_);
        const int stride = v.width + v.stride;
        std::vector<std::vector<uint32_t>> pixels(
            v.buffers, std::vector<uint32_t>(static_cast<size_t>(stride) * v.height, 0xDEADBEEFu));
        std::vector<PictureImage> images;
        for (std::vector<uint32_t>& buffer : pixels) {
            images.push_back(PictureImage{buffer.data(), v.width, v.height, stride, v.layout, {}});
        }
        int turn = 0;
        PictureBuffers buffers;
        ASSERT_TRUE(SizePicture(buffers, model_));
        // Letterboxes set by hand (ticks < 0), then the model's own frames 16 or 17 ms apart.
        std::vector<double> frames = MovingLetterboxes(v.height, v.frames);
        for (int k = 0; k < v.frames; ++k) {
            frames.push_back(-700.0 - 1000.0 * k / 60);
        }
        for (const double frame : frames) {
            SCOPED_TRACE(frame);
            PictureImage& image = images[turn++ % v.buffers];
            if (frame < 0.0) {
                AdvanceFrame(model_, static_cast<int>(-frame));
                SelectSubmitMode(SubmitMode::kTexture);
                DrawFrame(glView_, model_);
            } else {
                DrawFieldInBand(glView_, model_, SubmitMode::kTexture, frame);
            }
            const double letterbox = model_.scene.letterbox;
            const std::vector<unsigned char> texture = ReadFramePixels(v.width, v.height);
            DrawFieldInBand(glView_, model_, SubmitMode::kImmediate, letterbox);
            const std::vector<unsigned char> quads = ReadFramePixels(v.width, v.height);
            DrawPictureFrame(model_, buffers, image); // the model's frame, as the last draw left it
            ASSERT_TRUE(SameAsGL(image, quads)) << "against the quads";
            ASSERT_TRUE(SameAsGL(image, texture)) << "against the texture";
            CountComparedFrame(&count, BandRowsOf(v.height, letterbox), v.width, v.height);
            DrawPictureText(image, "88.8 FPS\nimage"); // which the next frame must clear away
        }
    }
    PrintIdentityCount(count);
    EXPECT_GT(count.tieFrames, 40);
}

// The texture mode on a headless context: every pixel as the per-cell quads give it, in one
// texture or in tiles; its fallback; views too large to draw.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/animation.h"
#include "model/scene.h"
#include "render/frame.h"
#include "render/gl.h"

#include "frame_check.h"
#include "renderer_test.h"

namespace {

class TextureTest : public HeadlessGLTest {
  protected:
    // A fresh context and model, with the texture mode selected and the limits given.
    void Open(int width, int height, const FrameLimits& limits = FrameLimits{}) {
        ASSERT_NO_FATAL_FAILURE(OpenContext(width, height));
        model_ = ModelState{};
        StartScene(model_, 31337, width, height);
        glView_ = GlView{};
        SetFrameLimits(limits);
        SelectSubmitMode(SubmitMode::kTexture);
    }
};

} // namespace

// The frames where the viewport is one row lower than the projection's rows scale the band, so
// that cell edges can fall on pixel centres; the letterboxes swept here include many of them. The
// last two views are drawn in tiles: 171 x 128 cells in 3 x 2 tiles of 64, and in 11 x 8 of 16
// (a limit of 20 counts as 16).
TEST_F(TextureTest, EveryPixelAsTheQuadsGiveItIncludingScaledBandsAndTiles) {
    const struct {
        int width, height, frames, maxTextureSize;
    } views[] = {{1, 1, 8, 0},        {5, 5, 16, 0},       {7, 13, 16, 0},
                 {640, 480, 48, 0},   {1023, 767, 48, 0},  {1920, 1080, 32, 0},
                 {3840, 2160, 12, 0}, {1023, 767, 12, 64}, {1023, 767, 12, 20}};
    IdentityCount count;
    for (const auto& v : views) {
        ASSERT_NO_FATAL_FAILURE(Open(v.width, v.height, FrameLimits{v.maxTextureSize, 0, false}));
        InitGLState(glView_, model_);
        ASSERT_TRUE(TextureMatchesBatched(glView_, model_, v.width, v.height,
                                          SpreadLetterboxes(v.frames), &count))
            << "texture size limit " << v.maxTextureSize;
    }
    PrintIdentityCount(count);
    EXPECT_GT(count.tieFrames, 0);
}

TEST_F(TextureTest, ARefusedTextureSwitchesTheRunToBatchedWithOneLine) {
    ASSERT_NO_FATAL_FAILURE(Open(320, 200, FrameLimits{0, 0, true}));
    ::testing::internal::CaptureStderr();
    InitGLState(glView_, model_);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(ActiveSubmitMode(), SubmitMode::kBatched);
    EXPECT_NE(said.find("using batched"), std::string::npos) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    AdvanceFrame(model_, 700);
    DrawFrame(glView_, model_);
    const std::vector<unsigned char> fallen = ReadFramePixels(320, 200);
    SelectSubmitMode(SubmitMode::kImmediate);
    DrawField(glView_, model_);
    EXPECT_TRUE(ReadFramePixels(320, 200) == fallen);
    EXPECT_TRUE(FrameMatchesCells(model_, fallen, 320, 200));
}

// A resize from a smaller view: the buffers and texture grow, the scene stays, and a view above
// the pixel limit is not drawn while its frames still advance the model.
TEST_F(TextureTest, ResizedViewsKeepTheSceneAndAreDrawnUpToThePixelLimit) {
    const struct {
        long long limit;
        bool drawn;
    } cases[] = {{0, true}, {320 * 200, true}, {320 * 200 - 1, false}};
    for (const auto& c : cases) {
        for (const SubmitMode mode : {SubmitMode::kTexture, SubmitMode::kBatched}) {
            SCOPED_TRACE("limit " + std::to_string(c.limit) + ", " + SubmitModeName(mode));
            ASSERT_NO_FATAL_FAILURE(Open(320, 200, FrameLimits{0, c.limit, false}));
            SelectSubmitMode(mode);
            FrameLoop loop{};
            StartFrameLoop(loop, 31337, 100, 60, false);
            ContextFrames frames{};
            AttachCurrentContext(loop, frames, context_.device);
            glClearColor(1.0f, 1.0f, 1.0f, 1.0f); // white, where a frame not drawn leaves it
            glClear(GL_COLOR_BUFFER_BIT);
            glClearColor(0.0f, 0.0f, 0.1f, 0.0f);
            const double target = loop.model.bank.target[5];
            ResizeFrames(loop, 320, 200);
            EXPECT_EQ(frames.view.drawn, c.drawn);
            EXPECT_EQ(loop.model.bank.target[5], target);
            for (const int ms : {700, 716, 733}) {
                StepFrameAt(loop, ms);
            }
            EXPECT_NEAR(loop.model.clock.dt, 0.017, 1e-12);
            const std::vector<unsigned char> pixels = ReadFramePixels(320, 200);
            if (c.drawn) {
                EXPECT_TRUE(FrameMatchesCells(loop.model, pixels, 320, 200));
            } else {
                EXPECT_EQ(pixels, std::vector<unsigned char>(pixels.size(), 255));
            }
        }
    }
}

// The texture mode on a headless context: every pixel as the per-cell quads give it, in one
// texture or in tiles, and its fallbacks; views too large to draw.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "model/scene.h"
#include "render/frame.h"
#include "render/gl.h"
#include "render/gl_context.h"

#include "frame_check.h"

namespace {

int g_milliseconds = 0;
int ReadTestMilliseconds() {
    return g_milliseconds;
}

class TextureTest : public ::testing::Test {
  protected:
    bool Open(int width, int height) {
        Close();
        view_ = HeadlessView{width, height};
        context_ = CreateGLContext(&view_);
        ResetModelState();
        g_model.readMilliseconds = ReadTestMilliseconds;
        SeedRandom(31337);
        return context_.render != nullptr;
    }
    void Close() {
        if (context_.render != nullptr) {
            DestroyGLContext(&view_, context_.device, context_.render);
            context_ = GLContext{};
        }
    }
    void SetUp() override { saved_ = ActiveSubmitMode(); }
    void TearDown() override {
        SetFrameLimits(FrameLimits{});
        SelectSubmitMode(saved_);
        Close();
    }
    HeadlessView view_{};
    GLContext context_{};
    SubmitMode saved_ = SubmitMode::kTexture;
};

} // namespace

// The frames where the viewport is one row lower than the projection's rows scale the band, so
// that cell edges can fall on pixel centres; the letterboxes swept here include many of them.
TEST_F(TextureTest, EveryPixelAsTheQuadsGiveItIncludingScaledBands) {
    const struct {
        int width, height, frames;
    } views[] = {{1, 1, 8},       {5, 5, 16},       {7, 13, 16},     {640, 480, 48},
                 {1023, 767, 48}, {1920, 1080, 32}, {3840, 2160, 12}};
    IdentityCount count;
    for (const auto& v : views) {
        ASSERT_TRUE(Open(v.width, v.height)) << "no headless OpenGL context";
        SelectSubmitMode(SubmitMode::kTexture);
        InitGLState(v.width, v.height);
        ASSERT_TRUE(TextureMatchesBatched(v.width, v.height, SpreadLetterboxes(v.frames), &count));
    }
    std::printf("%d frames, %lld pixels equal; %d frames with a scaled band, %d of them with an "
                "edge on a pixel centre\n",
                count.frames, count.pixels, count.mismatchFrames, count.tieFrames);
    EXPECT_GT(count.mismatchFrames, 0);
    EXPECT_GT(count.tieFrames, 0);
}

TEST_F(TextureTest, TilesAboveTheMaximumSizeGiveTheSamePixels) {
    // 171 x 128 cells: 3 x 2 tiles of 64, 11 x 8 of 16 (a limit of 20 counts as 16).
    for (const int maxSize : {64, 20}) {
        ASSERT_TRUE(Open(1023, 767)) << "no headless OpenGL context";
        SetFrameLimits(FrameLimits{maxSize, 0, false});
        SelectSubmitMode(SubmitMode::kTexture);
        InitGLState(1023, 767);
        IdentityCount count;
        EXPECT_TRUE(TextureMatchesBatched(1023, 767, SpreadLetterboxes(12), &count))
            << "tiles of at most " << maxSize;
        EXPECT_GT(count.tieFrames, 0);
    }
}

TEST_F(TextureTest, OtherCellSizesToo) {
    // Corners step by whole pixels whatever the size: 4.5 makes cells 4 pixels wide.
    for (const double cellSize : {3.0, 4.5}) {
        ASSERT_TRUE(Open(200, 150)) << "no headless OpenGL context";
        InitGLState(200, 150);
        g_model.scene.cellSize = cellSize;
        ASSERT_TRUE(ResizeView(200, 150));
        IdentityCount count;
        EXPECT_TRUE(TextureMatchesBatched(200, 150, SpreadLetterboxes(8), &count)) << cellSize;
        EXPECT_TRUE(FrameMatchesCells(ReadFramePixels(200, 150), 200, 150)) << cellSize;
    }
}

TEST_F(TextureTest, ARefusedTextureSwitchesTheRunToBatchedWithOneLine) {
    ASSERT_TRUE(Open(320, 200)) << "no headless OpenGL context";
    SetFrameLimits(FrameLimits{0, 0, true});
    SelectSubmitMode(SubmitMode::kTexture);
    ::testing::internal::CaptureStderr();
    InitGLState(320, 200);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(ActiveSubmitMode(), SubmitMode::kBatched);
    EXPECT_NE(said.find("batched"), std::string::npos) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    // The frame after the switch is the quads' picture.
    g_milliseconds = 700;
    RenderFrame();
    const std::vector<unsigned char> fallen = ReadFramePixels(320, 200);
    EXPECT_TRUE(FrameMatchesCells(fallen, 320, 200));
    SelectSubmitMode(SubmitMode::kImmediate);
    DrawField();
    EXPECT_TRUE(ReadFramePixels(320, 200) == fallen);
}

TEST_F(TextureTest, ViewsAboveThePixelLimitAreNotDrawnButTimeRunsOn) {
    const struct {
        long long limit;
        bool drawn;
    } cases[] = {{0, true}, {160 * 120, true}, {160 * 120 - 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE("limit " + std::to_string(c.limit));
        for (const SubmitMode mode : {SubmitMode::kTexture, SubmitMode::kBatched}) {
            ASSERT_TRUE(Open(160, 120)) << "no headless OpenGL context";
            SetFrameLimits(FrameLimits{0, c.limit, false});
            SelectSubmitMode(mode);
            glClearColor(1.0f, 1.0f, 1.0f, 1.0f); // paint the surface white first
            glClear(GL_COLOR_BUFFER_BIT);
            InitGLState(160, 120);
            EXPECT_EQ(ResizeView(160, 120), c.drawn);
            for (const int ms : {700, 716, 733}) {
                g_milliseconds = ms;
                PresentFrame(context_.device);
            }
            EXPECT_NEAR(g_model.clock.time, 0.733, 1e-12);
            EXPECT_NEAR(g_model.clock.dt, 0.017, 1e-12);
            const std::vector<unsigned char> pixels = ReadFramePixels(160, 120);
            if (c.drawn) {
                EXPECT_TRUE(FrameMatchesCells(pixels, 160, 120));
            } else {
                EXPECT_EQ(pixels, std::vector<unsigned char>(pixels.size(), 255));
            }
        }
    }
}

TEST_F(TextureTest, ResizeViewKeepsTheSceneAndSizesForTheNewView) {
    for (const SubmitMode mode : {SubmitMode::kTexture, SubmitMode::kBatched}) {
        ASSERT_TRUE(Open(320, 200)) << "no headless OpenGL context";
        SelectSubmitMode(mode);
        InitGLState(100, 60);
        g_milliseconds = 700;
        RenderFrame();
        const double phase = g_model.bank.phase[3];
        // Twice as wide and high: more columns and rows than the buffers and texture held.
        EXPECT_TRUE(ResizeView(320, 200));
        EXPECT_EQ(g_model.bank.phase[3], phase);
        EXPECT_EQ(g_model.scene.viewWidth, 320);
        EXPECT_EQ(g_model.scene.viewHeight, 200);
        g_milliseconds = 716;
        RenderFrame();
        EXPECT_TRUE(FrameMatchesCells(ReadFramePixels(320, 200), 320, 200)) << SubmitModeName(mode);
    }
}

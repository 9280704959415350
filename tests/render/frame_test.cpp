// The renderer on a headless context: fixed state, band, and the drawn frame read back.
#include <gtest/gtest.h>

#include <vector>

#include "model/animation.h"
#include "model/field.h"
#include "model/scene.h"
#include "render/frame.h"
#include "render/gl.h"

#include "frame_check.h"
#include "renderer_test.h"

namespace {

class FrameTest : public HeadlessGLTest {
  protected:
    void SetUp() override {
        HeadlessGLTest::SetUp();
        ResetModelState();
        SeedRandom(4242);
    }
    std::vector<unsigned char> ReadPixels() { return ReadFramePixels(view_.width, view_.height); }
    const unsigned char* Pixel(const std::vector<unsigned char>& pixels, int x, int y) {
        return &pixels[4 * (y * view_.width + x)];
    }
};

// Bounds of an orthographic projection read back from its matrix.
struct OrthoBounds {
    double left, right, bottom, top;
};

OrthoBounds ReadOrtho() {
    GLdouble m[16];
    glGetDoublev(GL_PROJECTION_MATRIX, m);
    const double w = 2.0 / m[0];
    const double h = 2.0 / m[5];
    const double left = (-m[12] * w - w) / 2.0;
    const double bottom = (-m[13] * h - h) / 2.0;
    return OrthoBounds{left, left + w, bottom, bottom + h};
}

} // namespace

TEST_F(FrameTest, InitLeavesTheFixedState) {
    OpenContext(64, 48);
    InitGLState(64, 48);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_DITHER));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    GLint value[4] = {};
    glGetIntegerv(GL_FRONT_FACE, value);
    EXPECT_EQ(value[0], GL_CCW);
    glGetIntegerv(GL_CULL_FACE_MODE, value);
    EXPECT_EQ(value[0], GL_BACK);
    glGetIntegerv(GL_FOG_MODE, value);
    EXPECT_EQ(value[0], GL_LINEAR);
    glGetIntegerv(GL_POLYGON_MODE, value);
    EXPECT_EQ(value[0], GL_FILL);
    EXPECT_EQ(value[1], GL_FILL);
    glGetIntegerv(GL_SHADE_MODEL, value);
    EXPECT_EQ(value[0], GL_SMOOTH);
    glGetIntegerv(GL_DEPTH_FUNC, value);
    EXPECT_EQ(value[0], GL_LEQUAL);
    GLfloat colour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, colour);
    EXPECT_EQ(colour[0], 0.0f);
    EXPECT_EQ(colour[1], 0.0f);
    EXPECT_NEAR(colour[2], 0.1f, 1e-6);
    EXPECT_EQ(colour[3], 0.0f);
    GLfloat fog[4];
    glGetFloatv(GL_FOG_COLOR, fog);
    EXPECT_NEAR(fog[2], 0.1f, 1e-6);
    EXPECT_EQ(fog[3], 1.0f);
    glGetFloatv(GL_FOG_START, fog);
    EXPECT_NEAR(fog[0], 0.2f, 1e-6);
    glGetFloatv(GL_FOG_END, fog);
    EXPECT_EQ(fog[0], 1.0f);
    // The scene was applied: full-window band, view size stored, bank randomised.
    glGetIntegerv(GL_VIEWPORT, value);
    EXPECT_EQ(value[1], 0);
    EXPECT_EQ(value[2], 64);
    EXPECT_EQ(value[3], 48);
    EXPECT_EQ(g_model.scene.viewWidth, 64);
    EXPECT_EQ(g_model.scene.viewHeight, 48);
    EXPECT_EQ(g_model.bank.chase[44], 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FrameTest, ApplySceneAgainRerandomizes) {
    OpenContext(32, 32);
    InitGLState(32, 32);
    const double phase = g_model.bank.phase[0];
    g_model.scene.cellSize = 3.0;
    ApplyScene(32, 32);
    EXPECT_NE(g_model.bank.phase[0], phase);
    EXPECT_EQ(g_model.scene.cellSize, 6.0);
}

TEST_F(FrameTest, BandViewportAndProjection) {
    OpenContext(32, 32);
    SetBandViewport(1024, 768, 0.15);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 115);
    EXPECT_EQ(viewport[2], 1024);
    EXPECT_EQ(viewport[3], 537);
    SetBandOrtho(1024, 768, 0.15);
    OrthoBounds b = ReadOrtho();
    EXPECT_NEAR(b.left, 0.0, 1e-3); // GL keeps the matrix in floats
    EXPECT_NEAR(b.right, 1024.0, 1e-3);
    EXPECT_NEAR(b.bottom, 115.0, 1e-3);
    EXPECT_NEAR(b.top, 652.0, 1e-3);
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);

    // Truncated separately: a viewport 478 rows high showing 479 rows of the projection.
    SetBandViewport(640, 480, 0.0011);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[3], 478);
    SetBandOrtho(640, 480, 0.0011);
    b = ReadOrtho();
    EXPECT_NEAR(b.bottom, 0.0, 1e-3);
    EXPECT_NEAR(b.top, 479.0, 1e-3);
}

TEST_F(FrameTest, FrameShowsEveryCellInsideTheBand) {
    const int w = 160;
    const int h = 120;
    OpenContext(w, h);
    InitGLState(w, h);
    StepFrameAt(700, context_.device);
    // The frame steps the model as AdvanceFrame does, letterbox included.
    const ModelState before = g_model;
    AdvanceFrame(716);
    const ModelState advanced = g_model;
    g_model = before;
    StepFrameAt(716, context_.device);
    EXPECT_EQ(g_model.scene.letterbox, advanced.scene.letterbox);
    EXPECT_EQ(g_model.randomState, advanced.randomState);
    EXPECT_TRUE(FrameMatchesCells(ReadPixels(), w, h));
}

TEST_F(FrameTest, EmptyViewsClearAndDrawNothing) {
    OpenContext(40, 30);
    for (const auto& size : {std::pair<int, int>{0, 30}, std::pair<int, int>{40, 0}}) {
        InitGLState(size.first, size.second);
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f); // paint the surface white first
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0.0f, 0.0f, 0.1f, 0.0f);
        StepFrameAt(700, context_.device);
        EXPECT_TRUE(CollectCells().empty());
        const std::vector<unsigned char> pixels = ReadPixels();
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 40; ++x) {
                ASSERT_TRUE(IsClearColour(Pixel(pixels, x, y))) << x << "," << y;
            }
        }
    }
}

TEST_F(FrameTest, PresentDrawsOneFramePerCall) {
    OpenContext(48, 36);
    InitGLState(48, 36);
    StepFrameAt(1000, context_.device);
    EXPECT_NEAR(g_model.clock.time, 1.0, 1e-12);
    StepFrameAt(1250, context_.device);
    EXPECT_NEAR(g_model.clock.dt, 0.25, 1e-12);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

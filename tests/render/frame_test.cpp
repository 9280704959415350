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
    // A loop of the size's scene on a context of that size, its frames drawn there.
    void StartFrames(int width, int height) {
        OpenContext(width, height);
        loop_ = FrameLoop{};
        StartFrameLoop(loop_, 4242, width, height, false);
        AttachCurrentContext(loop_, frames_, context_.device);
    }
    FrameLoop loop_{};
    ContextFrames frames_{};
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
    StartScene(model_, 4242, 64, 48);
    InitGLState(glView_, model_);
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
    // The scene was applied: a full-window band of the model's view.
    glGetIntegerv(GL_VIEWPORT, value);
    EXPECT_EQ(value[1], 0);
    EXPECT_EQ(value[2], 64);
    EXPECT_EQ(value[3], 48);
    EXPECT_TRUE(glView_.drawn);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
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
    StartFrames(w, h);
    StepFrameAt(loop_, 700);
    // The frame steps the model as AdvanceFrame does, letterbox included.
    ModelState advanced = loop_.model;
    AdvanceFrame(advanced, 716);
    StepFrameAt(loop_, 716);
    EXPECT_EQ(loop_.model.scene.letterbox, advanced.scene.letterbox);
    EXPECT_EQ(loop_.model.randomState, advanced.randomState);
    EXPECT_TRUE(FrameMatchesCells(loop_.model, ReadPixels(), w, h));
}

TEST_F(FrameTest, EmptyViewsClearAndDrawNothing) {
    OpenContext(40, 30);
    for (const auto& size : {std::pair<int, int>{0, 30}, std::pair<int, int>{40, 0}}) {
        loop_ = FrameLoop{};
        StartFrameLoop(loop_, 4242, size.first, size.second, false);
        AttachCurrentContext(loop_, frames_, context_.device);
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f); // paint the surface white first
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0.0f, 0.0f, 0.1f, 0.0f);
        StepFrameAt(loop_, 700);
        EXPECT_TRUE(CollectCells(loop_.model).empty());
        const std::vector<unsigned char> pixels = ReadPixels();
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 40; ++x) {
                ASSERT_TRUE(IsClearColour(Pixel(pixels, x, y))) << x << "," << y;
            }
        }
    }
}

TEST_F(FrameTest, PresentDrawsOneFramePerCall) {
    StartFrames(48, 36);
    StepFrameAt(loop_, 1000);
    EXPECT_NEAR(loop_.model.clock.time, 1.0, 1e-12);
    StepFrameAt(loop_, 1250);
    EXPECT_NEAR(loop_.model.clock.dt, 0.25, 1e-12);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

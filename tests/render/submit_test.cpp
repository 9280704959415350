// Batched and immediate submission on a headless context: the same quads, colours, order and
// pixels, and the choice between them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/scene.h"
#include "render/frame.h"
#include "render/gl_presenter.h"
#include "render/gl.h"

#include "frame_check.h"
#include "renderer_test.h"

namespace {

class SubmitTest : public HeadlessGLTest {
  protected:
    void Open(int width, int height) {
        ASSERT_NO_FATAL_FAILURE(OpenContext(width, height));
        StartScene(model_, 777, width, height);
        InitGLState(glView_, model_);
    }
    // What GL made of the drawing: every vertex in order, with its window position and colour.
    std::vector<GLfloat> Feedback(SubmitMode mode, double letterbox) {
        std::vector<GLfloat> buffer(1 << 20);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
        glRenderMode(GL_FEEDBACK);
        DrawFieldInBand(glView_, model_, mode, letterbox);
        const GLint used = glRenderMode(GL_RENDER);
        EXPECT_GT(used, 0) << "feedback buffer empty or overflowed";
        buffer.resize(used > 0 ? used : 0);
        return buffer;
    }
    std::vector<unsigned char> Pixels(SubmitMode mode, double letterbox) {
        return DrawnFieldPixels(glView_, model_, mode, letterbox, view_.width, view_.height);
    }
};

} // namespace

TEST_F(SubmitTest, BatchedGivesGLTheSameVerticesInTheSameOrder) {
    Open(480, 330); // more cells than one draw of the batch takes
    for (const double letterbox : {0.0, 0.09}) {
        const std::vector<GLfloat> immediate = Feedback(SubmitMode::kImmediate, letterbox);
        const std::vector<GLfloat> batched = Feedback(SubmitMode::kBatched, letterbox);
        // 80 by at least 45 cells, each reported as one or more polygons of 7 values a vertex.
        EXPECT_GT(immediate.size(), 80u * 45u * 4u * 7u);
        EXPECT_TRUE(immediate == batched) << "letterbox " << letterbox;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SubmitTest, BatchedDrawsTheSamePixelsAsTheBandMoves) {
    Open(640, 360);
    // Rows change between these, so the batch's cached corners must follow; then they stay.
    for (const double letterbox : {0.0, 0.15, 0.15, 0.0423, 0.0}) {
        const std::vector<unsigned char> batched = Pixels(SubmitMode::kBatched, letterbox);
        const std::vector<unsigned char> immediate = Pixels(SubmitMode::kImmediate, letterbox);
        EXPECT_TRUE(batched == immediate) << "letterbox " << letterbox;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    // An empty band (its projection is empty too, which GL refuses) draws nothing in either mode.
    const std::vector<unsigned char> empty = Pixels(SubmitMode::kBatched, 0.5);
    EXPECT_TRUE(empty == Pixels(SubmitMode::kImmediate, 0.5));
}

TEST_F(SubmitTest, RequestsNameAModeOrGetTexture) {
    EXPECT_EQ(PickSubmitMode(nullptr), SubmitMode::kTexture);
    EXPECT_EQ(PickSubmitMode(""), SubmitMode::kTexture);
    EXPECT_EQ(PickSubmitMode("immediate"), SubmitMode::kImmediate);
    EXPECT_EQ(PickSubmitMode("batched"), SubmitMode::kBatched);
    EXPECT_EQ(PickSubmitMode("texture"), SubmitMode::kTexture);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(PickSubmitMode("vbo"), SubmitMode::kTexture);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "RIPPLEFIELD_SUBMIT=vbo is not immediate, batched or texture: using texture\n");
    SelectSubmitMode(SubmitMode::kImmediate);
    EXPECT_EQ(ActiveSubmitMode(), SubmitMode::kImmediate);
}

TEST(GlPresenter, SoftwareRenderersAreMesasAndWindowsOwn) {
    EXPECT_TRUE(IsSoftwareRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_TRUE(IsSoftwareRenderer("Software Rasterizer"));
    EXPECT_TRUE(IsSoftwareRenderer("softpipe"));
    EXPECT_TRUE(IsSoftwareRenderer("GDI Generic"));
    EXPECT_FALSE(IsSoftwareRenderer("NVIDIA GeForce RTX 3060/PCIe/SSE2"));
    EXPECT_FALSE(IsSoftwareRenderer("AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6)"));
    EXPECT_FALSE(IsSoftwareRenderer(nullptr));
}

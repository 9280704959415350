// The readout drawn over a frame on the headless context, whatever state the renderer left and
// leaving that state as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "render/fps_overlay.h"
#include "render/frame.h"
#include "render/gl.h"

#include "frame_check.h"
#include "renderer_test.h"

class FpsOverlayTest : public HeadlessGLTest {
  protected:
    void SetUp() override {
        HeadlessGLTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(OpenContext(120, 90));
        StartScene(model_, 1, view_.width, view_.height);
        InitGLState(glView_, model_);
    }
    // The readout's pixels as characters: '#' white, 'o' black, '.' the clear colour.
    std::vector<std::string> ReadBack() {
        const std::vector<unsigned char> rgba = ReadFramePixels(view_.width, view_.height);
        std::vector<std::string> rows;
        for (int y = view_.height - 1; y >= 0; --y) {
            std::string row;
            for (int x = 0; x < view_.width; ++x) {
                const unsigned char* p = &rgba[4 * (static_cast<size_t>(y) * view_.width + x)];
                row += p[0] == 255 && p[1] == 255 && p[2] == 255 ? '#'
                       : p[0] == 0 && p[1] == 0 && p[2] == 0     ? 'o'
                       : IsClearColour(p)                        ? '.'
                                                                 : '?';
            }
            rows.push_back(row);
        }
        return rows;
    }
};

// An F shows which way round rows and columns went; its shadow lies one pixel right and down.
TEST_F(FpsOverlayTest, DrawsGlyphsUprightInTheLowerLeftCorner) {
    ClearFrame();
    DrawFpsOverlay("F", view_.width, view_.height);
    const std::vector<std::string> rows = ReadBack();
    const std::vector<std::string> expected = {
        // columns 5 to 11 of rows 78 to 85 from the top
        "#####..", "#ooooo.", "#o.....", "####...", "#oooo..", "#o.....", "#o.....", ".o.....",
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(rows[78 + i].substr(5, 7), expected[i]) << "row " << 78 + i;
    }
    int lit = 0;
    for (int y = 0; y < view_.height; ++y) {
        for (int x = 0; x < view_.width; ++x) {
            const bool inGlyph = y >= 78 && y <= 85 && x >= 5 && x < 12;
            lit += rows[y][x] != '.' ? 1 : 0;
            EXPECT_TRUE(inGlyph || rows[y][x] == '.') << x << "," << y;
        }
    }
    EXPECT_EQ(lit, 2 * 14 - 1); // 14 set bits drawn twice, one of the shadow's under the white
}

TEST_F(FpsOverlayTest, IgnoresTheRenderersStateAndRestoresIt) {
    // A state a renderer could leave: a black texture, a band viewport, a colour, fog, blending.
    GLuint texture = 0;
    const unsigned char black[4] = {0, 0, 0, 255};
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, black);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_FOG);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE);
    SetBandViewport(view_.width, view_.height, 0.1);
    SetBandOrtho(view_.width, view_.height, 0.1);
    glColor3f(0.25f, 0.5f, 0.75f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glClear(GL_COLOR_BUFFER_BIT);

    DrawFpsOverlay("FPS: 60.0\nLoad: 25.0%", view_.width, view_.height);

    int white = 0;
    for (const std::string& row : ReadBack()) {
        for (const char c : row) {
            white += c == '#' ? 1 : 0;
            EXPECT_NE(c, '?');
        }
    }
    EXPECT_GT(white, 100) << "the readout was tinted or hidden";
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[1], 9);
    EXPECT_EQ(viewport[3], 72);
    GLint value = 0;
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
    EXPECT_EQ(value, 4);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 0.25f);
    EXPECT_EQ(colour[2], 0.75f);
    GLdouble after[16];
    glGetDoublev(GL_PROJECTION_MATRIX, after);
    EXPECT_EQ(std::memcmp(projection, after, sizeof after), 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glDeleteTextures(1, &texture);
}

// The renderer in a real window under Windows: WGL context, frames presented, pixels read back.
#include <gtest/gtest.h>
#include <windows.h>

#include "model/animation.h"
#include "model/scene.h"
#include "render/frame.h"
#include "render/gl.h"
#include "render/gl_context.h"

#include "frame_check.h"

namespace {

// A small top-level window, shown without taking activation from anything.
HWND OpenWindow(int width, int height) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "RippleFieldWglTest";
        RegisterClassA(&wc);
        registered = true;
    }
    HWND hwnd =
        CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE, "RippleFieldWglTest", "WGL", WS_POPUP, 10,
                        10, width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    return hwnd;
}

} // namespace

TEST(WglContext, DrawsPresentsAndReleases) {
    const int w = 160;
    const int h = 120;
    HWND hwnd = OpenWindow(w, h);
    ASSERT_NE(hwnd, nullptr);

    FrameLoop loop{};
    StartFrameLoop(loop, 12345, w, h, false);
    const GLContext context = CreateGLContext(hwnd);
    ASSERT_NE(context.render, nullptr);
    EXPECT_EQ(wglGetCurrentContext(), static_cast<HGLRC>(context.render));
    EXPECT_EQ(wglGetCurrentDC(), static_cast<HDC>(context.device));

    PIXELFORMATDESCRIPTOR format = {};
    DescribePixelFormat(static_cast<HDC>(context.device),
                        GetPixelFormat(static_cast<HDC>(context.device)), sizeof format, &format);
    EXPECT_TRUE(format.dwFlags & PFD_DOUBLEBUFFER);
    EXPECT_GE(format.cColorBits, 24);
    EXPECT_GE(format.cDepthBits, 16);

    ContextFrames frames{};
    AttachCurrentContext(loop, frames, context.device);
    for (int frame = 0; frame < 4; ++frame) {
        StepFrameAt(loop, 700 + 16 * frame);
    }
    EXPECT_NEAR(loop.model.clock.time, 0.748, 1e-12);
    AdvanceFrame(loop.model, 800);
    DrawFrame(frames.view, loop.model); // into the back buffer, read before it is shown
    glReadBuffer(GL_BACK);
    EXPECT_TRUE(FrameMatchesCells(loop.model, ReadFramePixels(w, h), w, h));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    DestroyGLContext(hwnd, context.device, context.render);
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    // The context is gone: it can be neither made current nor deleted again.
    HDC dc = GetDC(hwnd);
    EXPECT_FALSE(wglMakeCurrent(dc, static_cast<HGLRC>(context.render)));
    EXPECT_FALSE(wglDeleteContext(static_cast<HGLRC>(context.render)));
    ReleaseDC(hwnd, dc);
    DestroyWindow(hwnd);
}

// Frames whose viewport is one row lower than the projection's rows are among the letterboxes
// swept, and so are frames with a cell edge on a pixel centre.
TEST(WglContext, TextureDrawsThePixelsOfTheQuadsIncludingScaledBands) {
    const struct {
        int width, height, frames;
    } views[] = {{1, 1, 4}, {5, 5, 8}, {7, 13, 8}, {640, 480, 24}, {1023, 767, 16}};
    IdentityCount count;
    for (const auto& v : views) {
        ModelState model{};
        StartScene(model, 2024, v.width, v.height);
        HWND hwnd = OpenWindow(v.width, v.height);
        ASSERT_NE(hwnd, nullptr);
        const GLContext context = CreateGLContext(hwnd);
        ASSERT_NE(context.render, nullptr);
        SelectSubmitMode(SubmitMode::kTexture);
        GlView view{};
        InitGLState(view, model);
        glReadBuffer(GL_BACK);
        EXPECT_TRUE(TextureMatchesBatched(view, model, v.width, v.height,
                                          SpreadLetterboxes(v.frames), &count));
        DestroyGLContext(hwnd, context.device, context.render);
        DestroyWindow(hwnd);
    }
    PrintIdentityCount(count);
    EXPECT_GT(count.mismatchFrames, 0);
    EXPECT_GT(count.tieFrames, 0);
}

// The renderer through GLX in X windows on a private X server: the frames it draws and shows are
// the headless renderer's, pixel for pixel, on double- and single-buffered visuals; the display
// mode's GL presenter takes a new size without starting its scene again.
#include "x_support.h"

#include "frame_check.h"
#include "png_file.h"
#include "renderer_test.h"

#include "frames/frame_step.h"
#include "model/animation.h"
#include "model/scene.h"
#include "render/frame.h"
#include "render/gl.h"
#include "render/gl_context.h"
#include "render/gl_context_glx.h"
#include "render/gl_presenter.h"

#include <GL/glx.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include <dlfcn.h>
#include <unistd.h>

namespace {

// The headless renderer's last frame for a seed and clock readings, drawn by its still tool.
std::vector<Rgb> HeadlessFrame(int width, int height, unsigned seed, const std::string& ticks) {
    char path[] = "/tmp/ripplefield-glx-test-XXXXXX";
    const int fd = mkstemp(path);
    close(fd);
    const ProgramRun tool = RunProgram(
        {RIPPLEFIELD_RENDER_TOOL, "--size", std::to_string(width) + "x" + std::to_string(height),
         "--seed", std::to_string(seed), "--ticks", ticks, "--png", path});
    int w = 0;
    int h = 0;
    const std::vector<unsigned char> rgb =
        tool.exitCode == 0 ? ReadPngRgb(path, &w, &h) : std::vector<unsigned char>();
    unlink(path);
    std::vector<Rgb> pixels;
    for (size_t i = 0; w == width && h == height && i < rgb.size(); i += 3) {
        pixels.push_back(Rgb{rgb[i], rgb[i + 1], rgb[i + 2]});
    }
    return pixels;
}

::testing::AssertionResult SamePixels(const std::vector<Rgb>& expected,
                                      const std::vector<Rgb>& actual, int width) {
    if (expected.size() != actual.size()) {
        return ::testing::AssertionFailure()
               << actual.size() << " pixels for " << expected.size() << " expected";
    }
    size_t differ = 0;
    size_t first = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        const Rgb& e = expected[i];
        const Rgb& a = actual[i];
        if (e.r != a.r || e.g != a.g || e.b != a.b) {
            first = differ == 0 ? i : first;
            ++differ;
        }
    }
    if (differ != 0) {
        return ::testing::AssertionFailure()
               << differ << " pixels differ, the first at " << first % width << "," << first / width
               << " from the top";
    }
    return ::testing::AssertionSuccess();
}

class GlxTest : public RendererTest {
  protected:
    void SetUp() override {
        RendererTest::SetUp();
        ASSERT_TRUE(StartXvfb({"320x240x24"}, &server_));
        display_ = XOpenDisplay(server_.display.c_str());
        ASSERT_NE(display_, nullptr);
    }
    // A loop of that scene on the GL presenter, started on the window.
    void StartGlFrames(FrameLoop& loop, Window window, int width, int height, bool showFps) {
        StartFrameLoop(loop, 2027, width, height, showFps);
        view_ = X11View{display_, window, nullptr};
        std::string error;
        void* frames = kGlPresenter.start(&view_, loop.model, &error);
        ASSERT_NE(frames, nullptr) << error;
        AttachPresenter(loop, &kGlPresenter, frames);
    }
    X11View view_{};
    void TearDown() override {
        RendererTest::TearDown();
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
        StopXvfb(&server_);
    }
    // A window on the default screen's GL visual of the given kind; 0 when there is none.
    Window MakeGLWindow(int width, int height, bool doubleBuffered) {
        int attributes[] = {GLX_RGBA, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, 0, 0};
        attributes[7] = doubleBuffered ? GLX_DOUBLEBUFFER : 0; // 0 ends the list: single only
        XVisualInfo* info = glXChooseVisual(display_, DefaultScreen(display_), attributes);
        if (info == nullptr) {
            return 0;
        }
        const Window root = DefaultRootWindow(display_);
        XSetWindowAttributes set = {};
        set.colormap = XCreateColormap(display_, root, info->visual, AllocNone);
        set.background_pixel = 0x00ff00;
        const Window window =
            XCreateWindow(display_, root, 0, 0, width, height, 0, info->depth, InputOutput,
                          info->visual, CWColormap | CWBackPixel | CWBorderPixel, &set);
        XFree(info);
        XMapWindow(display_, window);
        XSync(display_, False);
        return window;
    }

    PrivateXServer server_;
    Display* display_ = nullptr;
};

bool g_failNextMakeCurrent = false; // the next binding of a context also fails an X request
int g_swaps = 0;

} // namespace

// Takes the place of libGL's entry in this program and passes every call through.
extern "C" Bool glXMakeCurrent(Display* display, GLXDrawable drawable, GLXContext context) {
    static const auto real =
        reinterpret_cast<decltype(&glXMakeCurrent)>(dlsym(RTLD_NEXT, "glXMakeCurrent"));
    const Bool made = real(display, drawable, context);
    if (g_failNextMakeCurrent && context != nullptr) {
        g_failNextMakeCurrent = false;
        XMapWindow(display, 0); // BadWindow, as from a window that its owner destroys meanwhile
    }
    return made;
}

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    static const auto real =
        reinterpret_cast<decltype(&glXSwapBuffers)>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    ++g_swaps;
    real(display, drawable);
}

TEST_F(GlxTest, FramesAreTheHeadlessRenderersPixelForPixel) {
    const int w = 160;
    const int h = 120;
    const std::vector<Rgb> expected = HeadlessFrame(w, h, 2027, "700,716,733,750");
    ASSERT_FALSE(expected.empty()) << "the still tool drew no frame";
    for (const bool doubleBuffered : {true, false}) {
        SCOPED_TRACE(doubleBuffered ? "double-buffered visual" : "single-buffered visual");
        const Window window = MakeGLWindow(w, h, doubleBuffered);
        ASSERT_NE(window, 0u) << "Xvfb offers no such visual";
        X11View view{display_, window, nullptr};
        const GLContext context = CreateGLContext(&view);
        ASSERT_NE(context.render, nullptr) << view.error;
        EXPECT_EQ(glXGetCurrentContext(), static_cast<GLXContext>(context.render));
        EXPECT_EQ(glXGetCurrentDrawable(), window);
        GLint buffered = -1;
        glGetIntegerv(GL_DOUBLEBUFFER, &buffered);
        EXPECT_EQ(buffered != 0, doubleBuffered);

        ModelState model{}; // the clock as the still tool starts it
        StartScene(model, 2027, w, h);
        GlView glView{};
        InitGLState(glView, model);
        for (const int tick : {700, 716, 733, 750}) {
            AdvanceFrame(model, tick);
            DrawFrame(glView, model);
        }
        glFinish();
        glReadBuffer(doubleBuffered ? GL_BACK : GL_FRONT);
        const std::vector<unsigned char> rgba = ReadFramePixels(w, h);
        std::vector<Rgb> drawn;
        for (int y = h - 1; y >= 0; --y) {
            for (int x = 0; x < w; ++x) {
                const unsigned char* p = &rgba[4 * (static_cast<size_t>(y) * w + x)];
                drawn.push_back(Rgb{p[0], p[1], p[2]});
            }
        }
        EXPECT_TRUE(SamePixels(expected, drawn, w)) << "read back from GL";

        SwapGLBuffers(context.device); // which alone must bring the frame to the window
        XSync(display_, False);
        EXPECT_TRUE(SamePixels(expected, TakeSnapshot(display_, window, 0, 0, w, h).pixels, w))
            << "shown in the window";

        DestroyGLContext(&view, context.device, context.render);
        EXPECT_EQ(glXGetCurrentContext(), nullptr);
        XDestroyWindow(display_, window);
    }
}

TEST_F(GlxTest, PictureTakesANewSizeWithoutStartingAgain) {
    const Window window = MakeWindow(display_, 0, 0, 120, 90, 0x00ff00);
    FrameLoop loop{};
    ASSERT_NO_FATAL_FAILURE(StartGlFrames(loop, window, 120, 90, false));
    for (const int tick : {700, 716}) {
        FreezeFrameCounter(loop, tick);
        StepFrame(loop);
    }
    const ModelState before = loop.model;
    XResizeWindow(display_, window, 200, 150);
    XSync(display_, False);
    ResizeFrames(loop, 200, 150);
    EXPECT_EQ(std::memcmp(&before.bank, &loop.model.bank, sizeof before.bank), 0)
        << "the oscillators started again";
    EXPECT_EQ(loop.model.randomState, before.randomState);
    EXPECT_EQ(loop.model.clock.time, before.clock.time);

    AdvanceFrame(loop.model, 733);
    ASSERT_TRUE(loop.presenter->draw(loop.frames, loop.model, nullptr)); // not shown: read back
    glFinish();
    glReadBuffer(GL_BACK);
    EXPECT_NEAR(loop.model.clock.dt, 0.017, 1e-12);
    EXPECT_TRUE(FrameMatchesCells(loop.model, ReadFramePixels(200, 150), 200, 150));
    StopFrameLoop(loop);
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
}

// A context that an X error keeps from becoming current is released, not left current.
TEST_F(GlxTest, AContextThatFailsToBecomeCurrentIsReleased) {
    X11View view{display_, MakeGLWindow(32, 32, true), nullptr};
    g_failNextMakeCurrent = true;
    EXPECT_EQ(CreateGLContext(&view).render, nullptr);
    EXPECT_STREQ(view.error, "cannot make the OpenGL context current on the window");
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
}

// A frame whose drawing finds that the view cannot be drawn (its buffers sized again for another
// submission mode, past the pixel limit) is not shown, with the readout or without.
TEST_F(GlxTest, AFrameThatWasNotDrawnIsNotShown) {
    FrameLoop loop{};
    ASSERT_NO_FATAL_FAILURE(StartGlFrames(loop, MakeGLWindow(64, 48, true), 64, 48, true));
    const int swaps = g_swaps;
    FreezeFrameCounter(loop, 700);
    EXPECT_TRUE(StepFrame(loop));
    EXPECT_EQ(g_swaps, swaps + 1);
    SetFrameLimits(FrameLimits{0, 1, false});
    SelectSubmitMode(savedMode_ == SubmitMode::kBatched ? SubmitMode::kTexture
                                                        : SubmitMode::kBatched);
    FreezeFrameCounter(loop, 716);
    EXPECT_FALSE(StepFrame(loop));
    EXPECT_EQ(g_swaps, swaps + 1) << "a frame not drawn was shown";
    StopFrameLoop(loop);
}

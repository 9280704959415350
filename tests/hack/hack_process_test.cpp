// The display mode as a process, in windows of the test's own on a private X server: where it
// draws, how it follows a resize, how it ends, and what bad input gets.
#include "x_support.h"

#include "cells.h"
#include "picture/font.h"
#include "picture/picture.h"

#include <X11/extensions/Xdamage.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace {

constexpr unsigned long kGreen = 0x00ff00; // never a colour of the picture

class HackProcessTest : public ::testing::Test {
  protected:
    void Start(const std::vector<std::string>& screens = {"320x240x24"}) {
        ASSERT_TRUE(StartXvfb(screens, &server_));
        display_ = XOpenDisplay(server_.display.c_str());
        ASSERT_NE(display_, nullptr);
    }
    void SetUp() override { Start(); }
    void TearDown() override {
        KillProgram(&hack_);
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
        StopXvfb(&server_);
    }
    void Run(const std::vector<std::string>& args, std::vector<std::string> set = {},
             const std::vector<std::string>& unset = {"XSCREENSAVER_WINDOW"}) {
        std::vector<std::string> argv = {RIPPLEFIELD_HACK};
        argv.insert(argv.end(), args.begin(), args.end());
        set.push_back("DISPLAY=" + server_.display);
        hack_ = StartProgram(argv, {set, unset});
        ASSERT_GT(hack_.pid, 0);
    }
    Snapshot Shot(Window window, int width, int height) {
        return TakeSnapshot(display_, window, 0, 0, width, height);
    }
    // Whether the rectangle shows the picture: no fill colour left, and field colours in its
    // middle row, which the band always covers.
    bool ShowsPicture(Window window, int width, int height) {
        const Snapshot s = Shot(window, width, height);
        for (const Rgb& p : s.pixels) {
            if (p.r == 0 && p.g == 255 && p.b == 0) {
                return false;
            }
        }
        return RowShowsField(s, height / 2); // false for a snapshot not taken
    }
    bool WaitForPicture(Window window, int width, int height) {
        return WaitUntil([&] { return ShowsPicture(window, width, height); }, kPatientMs);
    }
    // Ends the run, which must end by itself, and gives its exit code.
    int ExitCode(int timeoutMs = kPatientMs) {
        int code = 0;
        if (!WaitForExit(&hack_, timeoutMs, &code)) {
            ADD_FAILURE() << "still running after " << timeoutMs << " ms";
            KillProgram(&hack_);
            return -1;
        }
        return code;
    }
    Window Root() { return DefaultRootWindow(display_); }

    PrivateXServer server_;
    Display* display_ = nullptr;
    RunningProgram hack_;
};

TEST_F(HackProcessTest, DrawsOnlyInsideItsWindow) {
    const Window window = MakeWindow(display_, 40, 30, 120, 90, kGreen);
    Run({"--window-id", WindowIdText(window)});
    ASSERT_TRUE(WaitForPicture(window, 120, 90));
    const Snapshot screen = Shot(Root(), 320, 240);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const bool inside = x >= 40 && x < 160 && y >= 30 && y < 120;
            const Rgb& p = screen.At(x, y);
            if (!inside) {
                ASSERT_TRUE(p.r == 0 && p.g == 0 && p.b == 0)
                    << "drawn outside at " << x << "," << y;
            }
        }
    }
    SignalProgram(hack_, SIGTERM);
    EXPECT_EQ(ExitCode(), 0);
}

TEST_F(HackProcessTest, FollowsAResize) {
    for (const char* presenter : {"gl", "image"}) {
        SCOPED_TRACE(presenter);
        const Window window = MakeWindow(display_, 0, 0, 100, 80, kGreen);
        Run({"-window-id", std::to_string(window), "-present", presenter}); // one dash, decimal
        ASSERT_TRUE(WaitForPicture(window, 100, 80));
        XResizeWindow(display_, window, 300, 200);
        XSync(display_, False);
        EXPECT_TRUE(WaitForPicture(window, 300, 200)) << "the picture did not grow with its window";
        XResizeWindow(display_, window, 60, 50);
        XSync(display_, False);
        EXPECT_TRUE(WaitForPicture(window, 60, 50));
        SignalProgram(hack_, SIGTERM);
        EXPECT_EQ(ExitCode(), 0);
        XDestroyWindow(display_, window);
    }
}

// The frame of RIPPLEFIELD_FREEZE=seed,ms drawn in-process as the picture, with the readout's
// presenter line when it has one, as rows from the top.
std::vector<Rgb> FrozenPicture(int width, int height, uint32_t seed, int ms, const char* presenter,
                               int* readoutTop, int* readoutEnd) {
    const ModelState model = ModelAt(width, height, seed, {ms});
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    PictureImage image{pixels.data(), width, height, width, {16, 8, 0, 0}, {}};
    PictureBuffers buffers;
    EXPECT_TRUE(DrawPicture(model, buffers, image, nullptr));
    *readoutTop = *readoutEnd = 0;
    if (presenter != nullptr) {
        const std::string text = std::string("FPS: --\nLoad: --%\nPresenter: ") + presenter;
        DrawPictureText(image, text.c_str());
        // The first two lines' rows, which change with the readings.
        int x = 0;
        int y = 0;
        PlaceText(text.c_str(), height, &x, &y);
        const int scale = TextScale(height);
        *readoutTop = height - (y + kGlyphHeight * scale);
        *readoutEnd = height - (y - kLineAdvance * scale - 1);
    }
    std::vector<Rgb> rgb;
    for (const uint32_t p : pixels) {
        rgb.push_back(Rgb{static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                          static_cast<unsigned char>(p)});
    }
    return rgb;
}

// Frozen frames in a window of the test's own equal the picture: the image presenter through
// MIT-SHM or, on a server without it, XPutImage; auto where GLX is missing and here, where GL is
// llvmpipe; and GL itself. The readout names the presenter in use.
TEST_F(HackProcessTest, WindowShowsThePictureWithEitherPresenter) {
    struct Case {
        std::vector<std::string> server; // Xvfb's extra arguments
        std::vector<std::string> args;
        const char* presenter; // named by the readout; null: no readout
    };
    const Case cases[] = {
        {{}, {"--present", "image"}, nullptr},
        {{"-extension", "MIT-SHM"}, {"--present", "image"}, nullptr},
        {{"-extension", "GLX"}, {"--fps"}, "image"},
        {{}, {"--fps"}, "image"},
        {{}, {"--present", "gl", "--fps"}, "gl"},
    };
    const int w = 241;
    const int h = 181;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server.empty() ? "" : c.server[1]);
        SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
        TearDown();
        display_ = nullptr;
        ASSERT_TRUE(StartXvfb({"320x240x24"}, &server_, c.server));
        display_ = XOpenDisplay(server_.display.c_str());
        ASSERT_NE(display_, nullptr);
        const Window window = MakeWindow(display_, 0, 0, w, h, kGreen);
        std::vector<std::string> args = {"--window-id", WindowIdText(window)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Run(args, {"RIPPLEFIELD_FREEZE=2027,700"}, {"XSCREENSAVER_WINDOW", "RIPPLEFIELD_PRESENT"});
        int readoutTop = 0;
        int readoutEnd = 0;
        const std::vector<Rgb> expected =
            FrozenPicture(w, h, 2027, 700, c.presenter, &readoutTop, &readoutEnd);
        int differ = 0;
        const bool same = WaitUntil(
            [&] {
                const Snapshot shot = Shot(window, w, h);
                differ = shot.width == 0 ? -1 : 0;
                for (size_t i = 0; i < expected.size() && shot.width != 0; ++i) {
                    const int row = static_cast<int>(i) / w;
                    const Rgb& a = shot.pixels[i];
                    const Rgb& e = expected[i];
                    const bool changing = row >= readoutTop && row < readoutEnd;
                    differ += !changing && (a.r != e.r || a.g != e.g || a.b != e.b);
                }
                return differ == 0;
            },
            kPatientMs);
        EXPECT_TRUE(same) << differ << " pixels differ";
        SignalProgram(hack_, SIGTERM);
        EXPECT_EQ(ExitCode(), 0);
        EXPECT_EQ(ReadStderr(&hack_), "");
    }
}

TEST_F(HackProcessTest, SignalsEndItCleanlyWithinASecond) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        const Window window = MakeWindow(display_, 0, 0, 160, 120, kGreen);
        Run({"--root", "--window-id", WindowIdText(window)});
        ASSERT_TRUE(WaitForPicture(window, 160, 120));
        const double sent = SteadyMs();
        SignalProgram(hack_, signal);
        EXPECT_EQ(ExitCode(1000), 0);
        EXPECT_LT(SteadyMs() - sent, 1000.0);
        XDestroyWindow(display_, window);
    }
}

// The image cannot take a 30-bit visual: auto draws with GL there rather than refusing to run.
TEST_F(HackProcessTest, AutoDrawsOnADeepColourDisplay) {
    TearDown();
    display_ = nullptr;
    Start({"320x240x30"});
    Run({"--root"}, {}, {"XSCREENSAVER_WINDOW", "RIPPLEFIELD_PRESENT"});
    EXPECT_TRUE(WaitForPicture(Root(), 320, 240));
    SignalProgram(hack_, SIGTERM);
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_EQ(ReadStderr(&hack_), "");
}

TEST_F(HackProcessTest, DestroyingTheWindowEndsIt) {
    const Window window = MakeWindow(display_, 0, 0, 160, 120, kGreen);
    Run({"--window-id", WindowIdText(window), "--fps"});
    ASSERT_TRUE(WaitForPicture(window, 160, 120));
    XDestroyWindow(display_, window);
    XSync(display_, False);
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_EQ(ReadStderr(&hack_), "");
}

// Processor time of a process so far, in clock ticks.
long CpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long user = 0;
    long system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        user = i == 14 ? std::stol(field) : user;
        system = i == 15 ? std::stol(field) : system;
    }
    return user + system;
}

// At most the frame rate asked for (the refresh rate by default: Xvfb reports none, so 60 Hz),
// and asleep between frames. Whole-window damage counts the frames that reach the X server.
TEST_F(HackProcessTest, PacesFramesAndSleepsBetweenThem) {
    int eventBase = 0;
    int errorBase = 0;
    ASSERT_TRUE(XDamageQueryExtension(display_, &eventBase, &errorBase));
    struct Case {
        std::vector<std::string> args;
        double maxFps;
    };
    const Case cases[] = {{{}, 60.0}, {{"--delay", "100000"}, 10.0}, {{"-delay", "40000"}, 25.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maxFps);
        const Window window = MakeWindow(display_, 0, 0, 160, 120, kGreen);
        std::vector<std::string> args = {"--window-id", WindowIdText(window)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Run(args);
        ASSERT_TRUE(WaitForPicture(window, 160, 120));
        const Damage damage = XDamageCreate(display_, window, XDamageReportRawRectangles);
        XSync(display_, False);
        // Frames that reached the server since the last call.
        const auto countFrames = [&] {
            int frames = 0;
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == eventBase + XDamageNotify) {
                    const XDamageNotifyEvent* d = reinterpret_cast<XDamageNotifyEvent*>(&event);
                    frames += d->area.width == 160 && d->area.height == 120 ? 1 : 0;
                }
            }
            return frames;
        };
        ASSERT_TRUE(WaitUntil([&] { return countFrames() > 0; }, kPatientMs)) << "no frame seen";
        const long cpuBefore = CpuTicks(hack_.pid);
        const double start = SteadyMs();
        int frames = 0;
        while (SteadyMs() - start < 3000.0) {
            frames += countFrames();
            usleep(2000);
        }
        const double seconds = (SteadyMs() - start) / 1000.0;
        const double cpuSeconds =
            static_cast<double>(CpuTicks(hack_.pid) - cpuBefore) / sysconf(_SC_CLK_TCK);
        EXPECT_LE(frames / seconds, c.maxFps * 1.2 + 1.0) << frames << " frames";
        EXPECT_LT(cpuSeconds / seconds, 0.5) << "busy between frames";
        std::printf("%s: %.1f frames a second, %.0f%% of a processor\n",
                    c.args.empty() ? "default" : c.args[1].c_str(), frames / seconds,
                    100.0 * cpuSeconds / seconds);
        XDamageDestroy(display_, damage);
        SignalProgram(hack_, SIGTERM);
        EXPECT_EQ(ExitCode(), 0);
        XDestroyWindow(display_, window);
    }
}

// --root takes $XSCREENSAVER_WINDOW, or the root window without it; --window-id wins over both.
TEST_F(HackProcessTest, RootAndWindowIdChooseTheWindow) {
    struct Case {
        const char* name;
        std::vector<std::string> args; // "ours" stands for our window's id
        int environmentWindow;         // 0: unset, 1: ours, 2: the other one
        int drawn;                     // 0: the root window, 1: ours
    };
    const Case cases[] = {
        {"--root with XSCREENSAVER_WINDOW, among options that mean nothing here",
         {"-mono", "--root", "--install", "-noinstall", "--visual", "default", "-pair", "--no-fps"},
         1,
         1},
        {"--root without it", {"--root"}, 0, 0},
        {"--root --window-id", {"--root", "--window-id", "ours"}, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XClearWindow(display_, Root()); // what an earlier case drew there
        const Window ours = MakeWindow(display_, 10, 10, 120, 90, kGreen);
        const Window other = MakeWindow(display_, 170, 120, 120, 90, kGreen);
        std::vector<std::string> args = c.args;
        for (std::string& a : args) {
            a = a == "ours" ? WindowIdText(ours) : a;
        }
        std::vector<std::string> set;
        if (c.environmentWindow != 0) {
            set.push_back("XSCREENSAVER_WINDOW=" +
                          WindowIdText(c.environmentWindow == 1 ? ours : other));
        }
        Run(args, set);
        if (c.drawn == 1) {
            ASSERT_TRUE(WaitForPicture(ours, 120, 90));
        } else {
            // The root window's own area: right of ours, above the other one.
            ASSERT_TRUE(WaitUntil(
                [&] {
                    const Snapshot s = TakeSnapshot(display_, Root(), 150, 10, 100, 90);
                    return s.width != 0 && IsFieldColour(s.At(50, 45));
                },
                kPatientMs));
        }
        const Snapshot untouched = Shot(other, 120, 90);
        for (const Rgb& p : untouched.pixels) {
            ASSERT_TRUE(p.r == 0 && p.g == 255 && p.b == 0) << "drew into the other window";
        }
        if (c.drawn == 1) {
            const Snapshot root = TakeSnapshot(display_, Root(), 150, 10, 100, 90);
            const Rgb& p = root.At(50, 45);
            EXPECT_TRUE(p.r == 0 && p.g == 0 && p.b == 0) << "drew on the root window";
        }
        SignalProgram(hack_, SIGTERM);
        EXPECT_EQ(ExitCode(), 0);
        XDestroyWindow(display_, ours);
        XDestroyWindow(display_, other);
        XSync(display_, False);
    }
}

// No option: a top-level window of its own, named for the window manager, as large as the screen
// allows up to 1024x768.
TEST_F(HackProcessTest, WithoutOptionsOpensAWindowOfItsOwn) {
    Run({});
    Window own = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            Window root = 0;
            Window parent = 0;
            Window* children = nullptr;
            unsigned count = 0;
            XQueryTree(display_, Root(), &root, &parent, &children, &count);
            for (unsigned i = 0; i < count; ++i) {
                char* name = nullptr;
                if (XFetchName(display_, children[i], &name) && name != nullptr) {
                    own = std::string(name) == "RippleField" ? children[i] : own;
                    XFree(name);
                }
            }
            XFree(children);
            return own != 0;
        },
        kPatientMs));
    XWindowAttributes attributes = {};
    XGetWindowAttributes(display_, own, &attributes);
    EXPECT_EQ(attributes.width, 320);
    EXPECT_EQ(attributes.height, 240);
    EXPECT_TRUE(WaitUntil([&] { return ShowsPicture(own, 320, 240); }, kPatientMs));
    SignalProgram(hack_, SIGTERM);
    EXPECT_EQ(ExitCode(), 0);
}

// Bad input gets one line on stderr, cleaned of control characters, and exit code 1, and never a
// hang; the parsing itself is tested in-process (options_test.cpp).
TEST_F(HackProcessTest, BadInputGetsOneLineAndExitOne) {
    TearDown();
    display_ = nullptr;
    Start({"320x240x24", "320x240x16", "320x240x8"});
    XSetWindowAttributes attributes = {};
    const Window inputOnly = XCreateWindow(display_, Root(), 0, 0, 50, 50, 0, 0, InputOnly,
                                           CopyFromParent, 0, &attributes);
    const Window shallow =
        XCreateSimpleWindow(display_, RootWindow(display_, 1), 0, 0, 50, 50, 0, 0, 0);
    const Window pseudo =
        XCreateSimpleWindow(display_, RootWindow(display_, 2), 0, 0, 50, 50, 0, 0, 0);
    XSync(display_, False);
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> set; // over the test's DISPLAY and an unset XSCREENSAVER_WINDOW
        bool noDisplay;
        std::string lines; // the whole of stderr, less its last newline
    };
    const Case cases[] = {
        {{"--bogus"}, {}, false, "ripplefield: unknown option '--bogus' (see --help)"},
        {{"--window-id", "12\x1b]0;x"},
         {},
         false,
         "ripplefield: --window-id '12?]0;x' is not a window id"},
        {{"--window-id", "0x1fffff0"}, {}, false, "ripplefield: window 0x1fffff0 does not exist"},
        {{"--window-id", "0x1fffff0"},
         {"RIPPLEFIELD_PRESENT=x\x1b[31m\ny"},
         false,
         "ripplefield: RIPPLEFIELD_PRESENT=x?[31m?y is not gl, image or auto: using auto\n"
         "ripplefield: window 0x1fffff0 does not exist"},
        {{"--window-id", WindowIdText(inputOnly)},
         {},
         false,
         "ripplefield: the window is input-only and cannot be drawn into (window " +
             WindowIdText(inputOnly) + ")"},
        {{"--window-id", WindowIdText(shallow)},
         {},
         false,
         "ripplefield: the window's visual has fewer than 8 bits per colour channel; 24-bit "
         "colour is needed (window " +
             WindowIdText(shallow) + ")"},
        {{"--present", "image", "--window-id", WindowIdText(pseudo)},
         {},
         false,
         "ripplefield: the window's visual is not TrueColor; the image presenter needs 24- or "
         "32-bit TrueColor (window " +
             WindowIdText(pseudo) + ")"},
        {{},
         {"RIPPLEFIELD_FREEZE=7"},
         true, // refused before the display is looked for
         "ripplefield: RIPPLEFIELD_FREEZE '7' is not SEED,MILLISECONDS"},
        {{}, {}, true, "ripplefield: no display: DISPLAY is not set"},
        {{}, {"DISPLAY=:4095"}, false, "ripplefield: cannot open display ':4095'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        std::vector<std::string> argv = {RIPPLEFIELD_HACK};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::vector<std::string> set = c.set; // the first of two equal names wins
        if (!c.noDisplay) {
            set.push_back("DISPLAY=" + server_.display);
        }
        const std::vector<std::string> unset = {"XSCREENSAVER_WINDOW", "DISPLAY"};
        hack_ = StartProgram(argv, {set, unset});
        ASSERT_GT(hack_.pid, 0);
        EXPECT_EQ(ExitCode(), 1);
        EXPECT_EQ(ReadStderr(&hack_), c.lines + "\n");
    }
}

} // namespace

// frame_counter_test.cpp -- ripplefield-frame-counter on a private X server against a known number
// of redraws made by the test itself, and its refusals.
#include <gtest/gtest.h>

#include "programs_posix.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

double ReadSeconds() {
    return SteadyMs() / 1000.0;
}

class FrameCounter : public ::testing::Test {
  protected:
    // An Xvfb of the test's own, so that no DISPLAY is needed.
    void SetUp() override {
        ASSERT_TRUE(StartXvfb({"640x480x24"}, &server_));
        display_ = XOpenDisplay(server_.display.c_str());
        ASSERT_NE(display_, nullptr);
    }
    void TearDown() override {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
        StopXvfb(&server_);
    }

    RunningProgram Start(const std::string& arguments, bool withDisplay = true) {
        std::vector<std::string> argv = Words(arguments);
        argv.insert(argv.begin(), RIPPLEFIELD_FRAME_COUNTER);
        ProgramOptions options;
        options.set = {"DISPLAY=" + (withDisplay ? server_.display : "")};
        options.captureStdout = true;
        return StartProgram(argv, options);
    }
    // Waits for the counter: its exit status and its output, stderr after stdout.
    static int Finish(RunningProgram run, std::string* output) {
        const ProgramRun ran = FinishProgram(&run);
        *output = ran.out + ran.err;
        return ran.exitCode;
    }

    PrivateXServer server_;
    Display* display_ = nullptr;
};

} // namespace

// Each redraw covers the measured window once, in one rectangle or in several; what is drawn
// outside that window does not count.
TEST_F(FrameCounter, CountsKnownRedrawsOfTheWindowMeasured) {
    const int redraws = 12;
    const Window root = DefaultRootWindow(display_);
    GC gc = XCreateGC(display_, root, 0, nullptr);
    for (const bool ownWindow : {false, true}) {
        SCOPED_TRACE(ownWindow ? "a window by ID, redrawn in 3 strips" : "the root, in 1");
        const int width = ownWindow ? 200 : 640;
        const int height = ownWindow ? 120 : 480;
        const int strips = ownWindow ? 3 : 1;
        Window window = root;
        std::string where;
        if (ownWindow) {
            window = XCreateSimpleWindow(display_, root, 50, 40, width, height, 0, 0, 0);
            XMapWindow(display_, window);
            where = "--window " + std::to_string(window) + " ";
        }
        XSync(display_, False);
        // The redraws must all fall within the counted interval. That cannot be known in advance,
        // only checked afterwards, so a machine too slow for the first try gets more time.
        bool inside = false;
        for (const double lead : {0.5, 2.0, 6.0}) {
            const double seconds = 3.0 * lead + 1.0;
            const double started = ReadSeconds();
            const RunningProgram run = Start(where + "--seconds " + std::to_string(seconds));
            ASSERT_GT(run.pid, 0);
            std::this_thread::sleep_for(std::chrono::duration<double>(lead));
            const double first = ReadSeconds();
            for (int k = 0; k < redraws; ++k) {
                XSetForeground(display_, gc, k % 2 ? 0x203040 : 0xa08060);
                for (int s = 0; s < strips; ++s) {
                    XFillRectangle(display_, window, gc, 0, s * (height / strips + 1), width,
                                   height / strips + 1);
                    XFlush(display_); // else Xlib merges them into one request
                }
                if (ownWindow) {
                    XFillRectangle(display_, root, gc, 300, 300, 100, 100);
                }
                XSync(display_, False);
            }
            const double last = ReadSeconds();
            std::string output;
            ASSERT_EQ(Finish(run, &output), 0) << output;
            const double ended = ReadSeconds();
            double frames = -1.0, counted = -1.0, fps = -1.0;
            char rest = 0;
            ASSERT_EQ(std::sscanf(output.c_str(), "frames=%lf seconds=%lf fps=%lf\n%c", &frames,
                                  &counted, &fps, &rest),
                      3)
                << output;
            inside = ended - counted < first && started + counted > last + 0.5;
            if (inside) {
                EXPECT_NEAR(frames, redraws, 0.25);
                EXPECT_NEAR(counted, seconds, 0.5);
                EXPECT_NEAR(fps, frames / counted, 0.01);
                break;
            }
        }
        EXPECT_TRUE(inside) << "the counter never counted over the whole run of redraws";
        if (ownWindow) {
            XDestroyWindow(display_, window);
        }
    }
    XFreeGC(display_, gc);
}

// What it cannot count: a nonzero status and one line that says why.
TEST_F(FrameCounter, RefusesWhatItCannotCount) {
    Window gone = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 8, 8, 0, 0, 0);
    XDestroyWindow(display_, gone);
    XSync(display_, False);
    char goneId[32];
    std::snprintf(goneId, sizeof goneId, "0x%lx", static_cast<unsigned long>(gone));
    const struct {
        std::string arguments;
        bool withDisplay;
    } cases[] = {
        {"--seconds 1", false},
        {std::string("--window ") + goneId + " --seconds 1", true},
        {"--seconds soon", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::string output;
        EXPECT_NE(Finish(Start(c.arguments, c.withDisplay), &output), 0);
        EXPECT_EQ(output.rfind("ripplefield-frame-counter: ", 0), 0u) << output;
        EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
    }
}

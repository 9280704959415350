// frame_counter_test.cpp -- ripplefield-frame-counter on a private X server against a known number
// of redraws made by the test itself, and its refusals.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

double ReadSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string ReadAll(FILE* f) {
    std::string text;
    char buffer[256];
    for (size_t n; f != nullptr && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) {
        text.append(buffer, n);
    }
    return text;
}

class FrameCounter : public ::testing::Test {
  protected:
    // An Xvfb of the test's own, so that no DISPLAY is needed; it writes its display number.
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        server_ = fork();
        ASSERT_GE(server_, 0);
        if (server_ == 0) {
            close(fds[0]);
            execlp("Xvfb", "Xvfb", "-displayfd", std::to_string(fds[1]).c_str(), "-screen", "0",
                   "640x480x24", "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        FILE* told = fdopen(fds[0], "r");
        int number = -1;
        ASSERT_EQ(std::fscanf(told, "%d", &number), 1) << "Xvfb did not start";
        std::fclose(told);
        name_ = ":" + std::to_string(number);
        display_ = XOpenDisplay(name_.c_str());
        ASSERT_NE(display_, nullptr);
    }
    void TearDown() override {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
    }

    // Starts the counter; its stderr goes to a file that Finish reads.
    FILE* Start(const std::string& arguments, bool withDisplay = true) {
        started_ = ReadSeconds();
        const std::string command = "DISPLAY=" + (withDisplay ? name_ : "") + " '" +
                                    RIPPLEFIELD_FRAME_COUNTER + "' " + arguments + " 2>" + errPath_;
        return popen(command.c_str(), "r");
    }
    // Waits for the counter; returns its exit status, with stdout and stderr.
    int Finish(FILE* run, std::string* out, std::string* err) {
        *out = ReadAll(run);
        const int status = pclose(run);
        ended_ = ReadSeconds();
        FILE* f = std::fopen(errPath_.c_str(), "r");
        *err = ReadAll(f);
        if (f != nullptr) {
            std::fclose(f);
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    pid_t server_ = -1;
    std::string name_;
    Display* display_ = nullptr;
    double started_ = 0.0;
    double ended_ = 0.0;
    std::string errPath_ = "/tmp/ripplefield-frame-counter-test-" + std::to_string(getpid());
};

} // namespace

// Each redraw covers the measured window once, in one rectangle or in several; what is drawn
// outside that window does not count.
TEST_F(FrameCounter, CountsKnownRedrawsOfTheWindowMeasured) {
    const struct {
        const char* name;
        bool ownWindow;     // a window of the test's own rather than the root window
        const char* idForm; // how --window names it
        int strips;         // rectangles that make one redraw
    } cases[] = {
        {"the root, whole in one rectangle", false, nullptr, 1},
        {"a window named in hex, each redraw in 3 strips", true, "0x%lx", 3},
    };
    const int redraws = 12;
    const Window root = DefaultRootWindow(display_);
    GC gc = XCreateGC(display_, root, 0, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int width = c.ownWindow ? 200 : 640;
        const int height = c.ownWindow ? 120 : 480;
        Window window = root;
        std::string where;
        if (c.ownWindow) {
            window = XCreateSimpleWindow(display_, root, 50, 40, width, height, 0, 0, 0);
            XMapWindow(display_, window);
            char id[32];
            std::snprintf(id, sizeof id, c.idForm, static_cast<unsigned long>(window));
            where = std::string("--window ") + id + " ";
        }
        XSync(display_, False);
        // The redraws must all fall within the counted interval. That cannot be known in advance,
        // only checked afterwards, so a machine too slow for the first try gets more time.
        bool inside = false;
        for (const double lead : {0.5, 2.0, 6.0}) {
            const double seconds = 3.0 * lead + 1.0;
            FILE* run = Start(where + "--seconds " + std::to_string(seconds));
            ASSERT_NE(run, nullptr);
            std::this_thread::sleep_for(std::chrono::duration<double>(lead));
            const double first = ReadSeconds();
            for (int k = 0; k < redraws; ++k) {
                XSetForeground(display_, gc, k % 2 ? 0x203040 : 0xa08060);
                const int strip = height / c.strips + 1;
                for (int s = 0; s < c.strips; ++s) {
                    XFillRectangle(display_, window, gc, 0, s * strip, width, strip);
                    XFlush(display_); // else Xlib merges them into one request
                }
                if (c.ownWindow) {
                    XFillRectangle(display_, root, gc, 300, 300, 100, 100);
                }
                XSync(display_, False);
            }
            const double last = ReadSeconds();
            std::string out, err;
            ASSERT_EQ(Finish(run, &out, &err), 0) << err;
            double frames = -1.0, counted = -1.0, fps = -1.0;
            ASSERT_EQ(std::sscanf(out.c_str(), "frames=%lf seconds=%lf fps=%lf\n", &frames,
                                  &counted, &fps),
                      3)
                << out;
            inside = ended_ - counted < first && started_ + counted > last + 0.5;
            if (inside) {
                EXPECT_NEAR(frames, redraws, 0.25);
                EXPECT_NEAR(counted, seconds, 0.5);
                EXPECT_NEAR(fps, frames / counted, 0.01);
                break;
            }
        }
        EXPECT_TRUE(inside) << "the counter never counted over the whole run of redraws";
        if (c.ownWindow) {
            XDestroyWindow(display_, window);
        }
        XSync(display_, False);
    }
    XFreeGC(display_, gc);
}

// Anything it cannot count: a nonzero status, one line on stderr, nothing on stdout.
TEST_F(FrameCounter, RefusesWhatItCannotCount) {
    Window gone = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 8, 8, 0, 0, 0);
    XDestroyWindow(display_, gone);
    XSync(display_, False);
    const struct {
        const char* name;
        std::string arguments;
        bool withDisplay;
    } cases[] = {
        {"no DISPLAY", "--seconds 1", false},
        {"a window that is gone, named in decimal",
         "--window " + std::to_string(gone) + " --seconds 1", true},
        {"seconds that are not a number", "--seconds soon", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out, err;
        EXPECT_NE(Finish(Start(c.arguments, c.withDisplay), &out, &err), 0);
        EXPECT_EQ(out, "");
        ASSERT_FALSE(err.empty());
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    }
}

// frame_counter_test.cpp -- ripplefield-frame-counter on a private X server against a known number
// of redraws made by the test itself, and its refusals.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

struct CounterRun {
    int status;
    std::string out;
    std::string err;
    double started; // test clock seconds, just before the counter was started
    double ended;   // just after it had exited
};

double ReadSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void Wait(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::string ReadAll(FILE* f) {
    std::string text;
    char buffer[256];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) {
        text.append(buffer, n);
    }
    return text;
}

// An Xvfb of the test's own, so that no DISPLAY is needed: it tells its display number itself.
class PrivateXServer {
  public:
    bool Start() {
        int fds[2];
        if (pipe(fds) != 0) {
            return false;
        }
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24",
                   "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        FILE* f = fdopen(fds[0], "r");
        int number = -1;
        const bool told = f != nullptr && std::fscanf(f, "%d", &number) == 1;
        if (f != nullptr) {
            std::fclose(f);
        }
        name_ = ":" + std::to_string(number);
        return pid_ > 0 && told;
    }
    void Stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    const std::string& Name() const { return name_; }

  private:
    pid_t pid_ = -1;
    std::string name_;
};

PrivateXServer g_server;

class FrameCounter : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { g_serverUp = g_server.Start(); }
    static void TearDownTestSuite() { g_server.Stop(); }

    void SetUp() override {
        ASSERT_TRUE(g_serverUp) << "Xvfb did not start";
        display_ = XOpenDisplay(g_server.Name().c_str());
        ASSERT_NE(display_, nullptr);
    }
    void TearDown() override {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
    }

    // Starts the counter; Finish collects it.
    FILE* Start(const std::string& arguments, bool withDisplay = true) {
        const std::string command =
            (withDisplay ? "DISPLAY=" + g_server.Name() : std::string("DISPLAY=")) + " '" +
            RIPPLEFIELD_FRAME_COUNTER + "' " + arguments + " 2>" + errPath_;
        run_ = CounterRun{};
        run_.started = ReadSeconds();
        return popen(command.c_str(), "r");
    }
    CounterRun Finish(FILE* out) {
        run_.out = ReadAll(out);
        const int status = pclose(out);
        run_.ended = ReadSeconds();
        run_.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (FILE* err = std::fopen(errPath_.c_str(), "r")) {
            run_.err = ReadAll(err);
            std::fclose(err);
        }
        std::remove(errPath_.c_str());
        return run_;
    }

    Display* display_ = nullptr;
    static bool g_serverUp;

  private:
    std::string errPath_ = "/tmp/ripplefield-frame-counter-test-" + std::to_string(getpid());
    CounterRun run_;
};
bool FrameCounter::g_serverUp = false;

struct RedrawCase {
    const char* name;
    bool ownWindow;     // a window of the test's own rather than the root window
    const char* idForm; // how --window names it
    int strips;         // rectangles that make one redraw
};

} // namespace

// Every redraw covers the measured window once, in one or several rectangles; what is drawn
// outside the window does not count.
TEST_F(FrameCounter, CountsKnownRedrawsOfTheWindowMeasured) {
    const RedrawCase cases[] = {
        {"the root, whole in one rectangle", false, nullptr, 1},
        {"a window named in hex, each redraw in 3 strips", true, "0x%lx", 3},
        {"a window named in decimal", true, "%lu", 1},
    };
    const int redraws = 12;
    for (const RedrawCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Window root = DefaultRootWindow(display_);
        Window window = root;
        int width = 640;
        int height = 480;
        if (c.ownWindow) {
            width = 200;
            height = 120;
            window = XCreateSimpleWindow(display_, root, 50, 40, width, height, 0, 0, 0);
            XMapWindow(display_, window);
        }
        XSync(display_, False);
        char id[32] = "";
        if (c.ownWindow) {
            std::snprintf(id, sizeof id, c.idForm, static_cast<unsigned long>(window));
        }
        const std::string where = c.ownWindow ? std::string("--window ") + id + " " : "";
        GC gc = XCreateGC(display_, window, 0, nullptr);
        GC rootGc = XCreateGC(display_, root, 0, nullptr);

        // The counter must be counting before the first redraw and still count after the last.
        // Neither can be seen from here in advance, so it is checked afterwards, and a machine
        // too slow for the first attempt gets more time.
        bool inside = false;
        for (const double lead : {0.5, 2.0, 6.0}) {
            const double seconds = 3.0 * lead + 1.0;
            FILE* out = Start(where + "--seconds " + std::to_string(seconds));
            ASSERT_NE(out, nullptr);
            Wait(lead);
            const double first = ReadSeconds();
            for (int k = 0; k < redraws; ++k) {
                XSetForeground(display_, gc, k % 2 ? 0x203040 : 0xa08060);
                const int strip = height / c.strips + 1;
                for (int s = 0; s < c.strips; ++s) {
                    XFillRectangle(display_, window, gc, 0, s * strip, width, strip);
                    XFlush(display_); // else Xlib merges them into one request
                }
                if (c.ownWindow) {
                    XFillRectangle(display_, root, rootGc, 300, 300, 100, 100);
                }
                XSync(display_, False);
            }
            const double last = ReadSeconds();
            const CounterRun r = Finish(out);
            ASSERT_EQ(r.status, 0) << r.err;
            double frames = -1.0;
            double counted = -1.0;
            double fps = -1.0;
            ASSERT_EQ(std::sscanf(r.out.c_str(), "frames=%lf seconds=%lf fps=%lf", &frames,
                                  &counted, &fps),
                      3)
                << r.out;
            inside = r.ended - counted < first && r.started + counted > last + 0.5;
            if (!inside) {
                continue;
            }
            EXPECT_NEAR(frames, redraws, 0.25);
            EXPECT_NEAR(counted, seconds, 0.5);
            EXPECT_NEAR(fps, frames / counted, 0.01);
            break;
        }
        EXPECT_TRUE(inside) << "the counter never counted over the whole run of redraws";
        XFreeGC(display_, gc);
        XFreeGC(display_, rootGc);
        if (c.ownWindow) {
            XDestroyWindow(display_, window);
        }
        XSync(display_, False);
    }
}

// A window that goes ends the count: the rate is over the time it was there.
TEST_F(FrameCounter, StopsWhenTheWindowGoes) {
    Window window =
        XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 64, 64, 0, 0, 0);
    XMapWindow(display_, window);
    XSync(display_, False);
    FILE* out = Start("--window " + std::to_string(window) + " --seconds 120");
    ASSERT_NE(out, nullptr);
    Wait(1.0);
    XDestroyWindow(display_, window);
    XSync(display_, False);
    const CounterRun r = Finish(out);
    EXPECT_EQ(r.status, 0) << r.err;
    double frames = -1.0;
    double counted = -1.0;
    ASSERT_EQ(std::sscanf(r.out.c_str(), "frames=%lf seconds=%lf", &frames, &counted), 2);
    EXPECT_LT(counted, 120.0);
    EXPECT_LE(counted, r.ended - r.started);
}

// Anything it cannot count: a nonzero status, one line on stderr, nothing on stdout.
TEST_F(FrameCounter, RefusesWhatItCannotCount) {
    Window gone = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 8, 8, 0, 0, 0);
    XDestroyWindow(display_, gone);
    XSync(display_, False);
    char goneId[32];
    std::snprintf(goneId, sizeof goneId, "0x%lx", static_cast<unsigned long>(gone));
    const struct {
        const char* name;
        std::string arguments;
        bool withDisplay;
    } cases[] = {
        {"no DISPLAY", "--seconds 1", false},
        {"a window that is gone", std::string("--window ") + goneId + " --seconds 1", true},
        {"a window ID that is not a number", "--window 12ab --seconds 1", true},
        {"no seconds", "--window 0x400001", true},
        {"seconds that are not a number", "--seconds soon", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CounterRun r = Finish(Start(c.arguments, c.withDisplay));
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(r.out, "");
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
}

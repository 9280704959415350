// x_support.h -- what the display mode's tests share: a private Xvfb per test, programs run as a
// user runs them, and pixels read from the X server.
#pragma once

// Google Test first: Xlib defines None and Bool as macros, which its headers use as names.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>

// An X server of the test's own on a display that no one else uses.
struct PrivateXServer {
    pid_t pid = -1;
    std::string display; // ":N"
};

// Starts Xvfb with one screen per entry ("320x240x24"), black root windows, no TCP and the extra
// arguments (e.g. "-extension", "GLX"), and waits until it takes connections.
::testing::AssertionResult StartXvfb(const std::vector<std::string>& screens,
                                     PrivateXServer* server,
                                     const std::vector<std::string>& extra = {});
void StopXvfb(PrivateXServer* server);

// A program started with its own environment: the test's, less the names in unset, plus set
// (only set when inherit is false). Its stderr goes to a pipe, or to a file when it says much.
struct RunningProgram {
    pid_t pid = -1;
    int stderrPipe = -1;
};

RunningProgram StartProgram(const std::vector<std::string>& argv,
                            const std::vector<std::string>& set,
                            const std::vector<std::string>& unset, bool inherit = true,
                            const std::string& stderrFile = "");
// Waits up to timeoutMs for the program to end; true with its wait status when it did.
bool WaitForExit(RunningProgram* program, int timeoutMs, int* status);
// Ends a program that is still running (after a failed check) and reaps it.
void KillProgram(RunningProgram* program);
// What the program wrote on stderr, once it has ended.
std::string ReadStderr(RunningProgram* program);

double SteadyMs();
// Polls the condition every 50 ms until it holds or timeoutMs passes.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

struct Rgb {
    unsigned char r, g, b;
};

// A rectangle of the window's contents as the X server holds them, rows from the top.
struct Snapshot {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;
    const Rgb& At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Snapshot TakeSnapshot(Display* display, Window window, int x, int y, int width, int height);
// The picture's colours: the ramp runs from dark red to pale pink-white, red always the largest;
// the background is dark blue (0, 0, 25 or 26).
bool IsFieldColour(const Rgb& p);
bool IsClearColour(const Rgb& p);
// A plain window of the default visual, filled with one colour, mapped at (x, y) on the root.
Window MakeWindow(Display* display, int x, int y, int width, int height, unsigned long pixel);
std::string WindowIdText(Window window);

// The slowest a test lets anything be: the machine may be slow and busy.
constexpr int kPatientMs = 60000;

// hack_x11.cpp -- ripplefield, the display mode for the X screen saver: the display, the window it
// draws into, the presenter, X events, signals and the paced frame loop.
#include "frames/elapsed.h"
#include "frames/frame_pacer.h"
#include "frames/frame_step.h"
#include "frames/run_settings.h"
#include "frames/stop_signals_posix.h"
#include "hack/image_presenter_x11.h"
#include "hack/options.h"
#include "text/text.h"
#include "render/gl_context_glx.h"
#include "render/gl_presenter.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <poll.h>

namespace {

constexpr int kExitFailed = 1;
constexpr int kOwnWindowWidth = 1024;
constexpr int kOwnWindowHeight = 768;

// The process-wide record of the display mode's X11 side.
struct HackState {
    Display* display;
    Window window;
    bool ownWindow;
    Atom protocols;    // WM_PROTOCOLS, the window manager's requests to a window of our own
    Atom deleteWindow; // of which the request to close it
    int width;
    int height;
    bool resized;
    bool windowGone;
};

HackState g_hack = {nullptr, 0, false, 0, 0, 0, 0, false, false};

// One line on stderr, the user's text in it cleaned.
void ReportError(const std::string& message) {
    PrintLine("ripplefield: " + message);
}

std::string WindowName(unsigned long id) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", id);
    return text;
}

// Errors about our window once it has gone (its frames still in flight) mean the run is over;
// nothing else that can fail later is worth ending the picture for.
int OnXError(Display*, XErrorEvent* event) {
    if (event->resourceid == g_hack.window &&
        (event->error_code == BadWindow || event->error_code == BadDrawable)) {
        g_hack.windowGone = true;
    }
    return 0;
}

// The refresh rate of the screen in Hz as RandR reports it; 0 when it does not.
int ReadRefreshRate(Display* display, Window root) {
    int eventBase = 0;
    int errorBase = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)) {
        return 0;
    }
    XRRScreenConfiguration* config = XRRGetScreenInfo(display, root);
    if (config == nullptr) {
        return 0;
    }
    const int rate = XRRConfigCurrentRate(config);
    XRRFreeScreenConfigInfo(config);
    return rate;
}

// Whether the server offers GLX; asked without Xlib's warning about a missing extension.
bool HasGlx(Display* display) {
    int opcode = 0;
    int event = 0;
    int error = 0;
    return XQueryExtension(display, "GLX", &opcode, &event, &error);
}

// A top-level window of ordinary size, named for the window manager, which may close it; q or
// Escape close it too. Its visual suits GL where GL may draw, else it is 24-bit TrueColor.
bool CreateOwnWindow(Display* display, PresentChoice choice) {
    const int screen = DefaultScreen(display);
    Visual* visual = nullptr;
    int depth = 0;
    const bool glVisual = choice != PresentChoice::kImage && HasGlx(display) &&
                          FindGLVisual(display, screen, &visual, &depth);
    XVisualInfo info = {};
    if (!glVisual && choice == PresentChoice::kGl) {
        ReportError(HasGlx(display) ? "the display has no OpenGL visual with 24-bit colour"
                                    : "the display offers no OpenGL (GLX)");
        return false;
    }
    if (!glVisual) {
        if (!XMatchVisualInfo(display, screen, 24, TrueColor, &info)) {
            ReportError("the display has no 24-bit TrueColor visual");
            return false;
        }
        visual = info.visual;
        depth = info.depth;
    }
    const Window root = RootWindow(display, screen);
    XSetWindowAttributes attributes = {};
    attributes.colormap = XCreateColormap(display, root, visual, AllocNone);
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.border_pixel = 0;
    attributes.event_mask = StructureNotifyMask | KeyPressMask;
    const int width = std::min(kOwnWindowWidth, DisplayWidth(display, screen));
    const int height = std::min(kOwnWindowHeight, DisplayHeight(display, screen));
    g_hack.window =
        XCreateWindow(display, root, 0, 0, width, height, 0, depth, InputOutput, visual,
                      CWColormap | CWBackPixel | CWBorderPixel | CWEventMask, &attributes);
    g_hack.ownWindow = true;
    XStoreName(display, g_hack.window, "RippleField");
    XClassHint hint = {const_cast<char*>("ripplefield"), const_cast<char*>("RippleField")};
    XSetClassHint(display, g_hack.window, &hint);
    g_hack.protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    g_hack.deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, g_hack.window, &g_hack.deleteWindow, 1);
    XMapRaised(display, g_hack.window);
    g_hack.width = width;
    g_hack.height = height;
    return true;
}

// Takes a window made by someone else (or the root window): its size now, and word of its
// changes and of its end.
bool AdoptWindow(Display* display, Window window) {
    g_hack.window = window;
    XWindowAttributes attributes;
    const Status found = XGetWindowAttributes(display, window, &attributes);
    XSync(display, False);
    if (!found || g_hack.windowGone) {
        ReportError("window " + WindowName(window) + " does not exist");
        return false;
    }
    XSelectInput(display, window, StructureNotifyMask);
    g_hack.width = attributes.width;
    g_hack.height = attributes.height;
    return true;
}

bool IsCloseKey(XKeyEvent* event) {
    char text[8];
    KeySym key = 0;
    const int length = XLookupString(event, text, sizeof text, &key, nullptr);
    return key == XK_Escape || (length == 1 && (text[0] == 'q' || text[0] == 'Q'));
}

// Takes every queued event: sizes are noted for the next frame, the window's end ends the run.
void HandleXEvents(Display* display) {
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case ConfigureNotify: {
            if (event.xconfigure.window == g_hack.window &&
                (event.xconfigure.width != g_hack.width ||
                 event.xconfigure.height != g_hack.height)) {
                g_hack.width = event.xconfigure.width;
                g_hack.height = event.xconfigure.height;
                g_hack.resized = true;
            }
            break;
        }
        case DestroyNotify: {
            if (event.xdestroywindow.window == g_hack.window) {
                g_hack.windowGone = true;
            }
            break;
        }
        case ClientMessage: {
            if (g_hack.ownWindow && event.xclient.message_type == g_hack.protocols &&
                static_cast<Atom>(event.xclient.data.l[0]) == g_hack.deleteWindow) {
                g_stopSignals.stop = 1;
            }
            break;
        }
        case KeyPress: {
            if (g_hack.ownWindow && IsCloseKey(&event.xkey)) {
                g_stopSignals.stop = 1;
            }
            break;
        }
        }
    }
}

// Sleeps until the next frame is due, an event arrives or a signal asks us to stop.
void WaitForWork(Display* display, double waitMs) {
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {g_stopSignals.wakeFd, POLLIN, 0}};
    const int timeout = static_cast<int>(std::ceil(waitMs));
    if (poll(fds, 2, timeout) > 0 && (fds[1].revents & POLLIN)) {
        DrainStopSignals();
    }
}

// Frames at the pacer's cadence until a signal, the window's end or a close request. With no
// period, frames come as fast as the swap lets them.
void RunFrames(Display* display, FrameLoop& loop, double periodMs) {
    FramePacer pacer;
    StartFramePacer(&pacer, periodMs);
    const bool paced = periodMs > 0.0;
    for (;;) {
        HandleXEvents(display);
        if (g_stopSignals.stop || g_hack.windowGone) {
            return;
        }
        if (g_hack.resized) {
            ResizeFrames(loop, g_hack.width, g_hack.height);
            g_hack.resized = false;
        }
        if (!paced || TakeFrameSlot(&pacer, ReadSteadyMilliseconds())) {
            StepFrame(loop);
        }
        if (XPending(display) > 0 || g_stopSignals.stop) {
            continue; // events came while drawing
        }
        WaitForWork(display,
                    paced ? MillisecondsToNextFrame(pacer, ReadSteadyMilliseconds()) : 0.0);
    }
}

// The steps of a run, after the command line: display, window, presenter, frames, release.
int RunHack(const HackOptions& options) {
    HackTarget target = HackTarget::kOwnWindow;
    unsigned long windowId = 0;
    std::string error;
    if (!ChooseHackTarget(options, std::getenv("XSCREENSAVER_WINDOW"), &target, &windowId,
                          &error)) {
        ReportError(error);
        return kExitFailed;
    }
    // Read before the display is opened, so that a bad value shows no window. Unfrozen, the seed
    // is the steady clock's milliseconds, as the Windows saver's is the tick count.
    const RunSettings settings =
        ReadRunSettings(static_cast<uint32_t>(static_cast<uint64_t>(ReadSteadyMilliseconds())));
    if (!settings.problem.empty()) {
        ReportError(settings.problem);
    }
    if (settings.badFreeze) {
        return kExitFailed;
    }
    // Before the display, so that a stop that comes early still ends the run cleanly.
    if (!InstallStopSignals(false)) {
        ReportError("cannot set up the signal handlers");
        return kExitFailed;
    }
    const char* displayName = std::getenv("DISPLAY");
    if (displayName == nullptr || displayName[0] == '\0') {
        ReportError("no display: DISPLAY is not set");
        return kExitFailed;
    }
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr) {
        ReportError(std::string("cannot open display '") + displayName + "'");
        return kExitFailed;
    }
    g_hack.display = display;
    XSetErrorHandler(OnXError);
    const PresentChoice choice = options.hasPresent ? options.present : settings.present;
    bool ready = false;
    if (target == HackTarget::kOwnWindow) {
        ready = CreateOwnWindow(display, choice);
    } else if (target == HackTarget::kRootWindow) {
        ready = AdoptWindow(display, DefaultRootWindow(display));
    } else {
        ready = AdoptWindow(display, windowId);
    }
    // The one view of the process: its scene first, then whatever shows it.
    FrameLoop loop{};
    StartFrameLoop(loop, settings.seed, g_hack.width, g_hack.height, options.showFps);
    if (settings.frozen) {
        FreezeFrameCounter(loop, settings.frozenMilliseconds);
    }
    X11View view{display, g_hack.window, nullptr};
    const PresenterOffer offer = {&kGlPresenter, &kImagePresenter, nullptr,
                                  &view,         nullptr,          nullptr};
    if (ready && StartChosenPresenter(loop, choice, offer, &error) == ChosenPresenter::kNone) {
        ReportError(error + " (window " + WindowName(g_hack.window) + ")");
        ready = false;
    }
    if (!ready) {
        if (g_hack.ownWindow) {
            XDestroyWindow(display, g_hack.window);
        }
        XCloseDisplay(display);
        return kExitFailed;
    }

    XWindowAttributes attributes = {};
    const Window root = XGetWindowAttributes(display, g_hack.window, &attributes)
                            ? attributes.root
                            : DefaultRootWindow(display);
    const double periodMs = options.hasDelay ? options.delayMicroseconds / 1000.0
                                             : RefreshPeriodMs(ReadRefreshRate(display, root));
    RunFrames(display, loop, periodMs);

    StopFrameLoop(loop);
    if (g_hack.ownWindow && !g_hack.windowGone) {
        XDestroyWindow(display, g_hack.window);
    }
    XCloseDisplay(display);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    HackOptions options;
    std::string error;
    const ParseResult parsed = ParseHackOptions(argc, argv, &options, &error);
    if (parsed != ParseResult::kRun) {
        return EndWithoutRun(parsed, kHackUsage, kHackVersion, "ripplefield: " + error,
                             kExitFailed);
    }
    return RunHack(options);
}

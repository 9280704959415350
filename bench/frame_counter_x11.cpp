// frame_counter_x11.cpp -- counts the frames that reach an X server, from outside the programs
// that draw them: the area the DAMAGE extension reports over an interval, in whole windows.
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <sys/select.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

const char kUsage[] = "usage: ripplefield-frame-counter [--window ID] --seconds S";

struct CounterOptions {
    Window window; // 0: the root window
    double seconds;
};

// The first X error since it was last cleared; requests here fail only on a bad window.
int g_xError = 0;

int RecordXError(Display*, XErrorEvent* event) {
    if (g_xError == 0) {
        g_xError = event->error_code;
    }
    return 0;
}

double ReadSeconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

int Fail(int status, const char* message, const char* detail = "") {
    std::fprintf(stderr, "ripplefield-frame-counter: %s%s\n", message, detail);
    return status;
}

// A window ID as xwininfo prints it (0x...) or in decimal; nothing else may follow it.
bool ParseWindow(const char* text, Window* window) {
    const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* digits = hex ? text + 2 : text;
    // strtoull would also take blanks and a sign.
    if (!(hex ? std::isxdigit(static_cast<unsigned char>(digits[0]))
              : std::isdigit(static_cast<unsigned char>(digits[0])))) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long id = std::strtoull(digits, &end, hex ? 16 : 10);
    // X resource IDs have 29 bits.
    if (errno != 0 || *end != '\0' || id == 0 || id > 0x1fffffffULL) {
        return false;
    }
    *window = static_cast<Window>(id);
    return true;
}

bool ParseSeconds(const char* text, double* seconds) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !std::isfinite(value) || value <= 0.0 ||
        value > 86400.0) {
        return false;
    }
    *seconds = value;
    return true;
}

// Reads the command line; returns 0, or the exit status after saying what is wrong.
int ParseOptions(int argc, char** argv, CounterOptions* options) {
    options->window = 0;
    options->seconds = 0.0;
    for (int i = 1; i < argc; ++i) {
        const char* name = argv[i];
        if (std::strcmp(name, "--window") != 0 && std::strcmp(name, "--seconds") != 0) {
            return Fail(2, "unknown argument ", name);
        }
        if (i + 1 >= argc) {
            return Fail(2, "no value after ", name);
        }
        const char* value = argv[++i];
        if (name[2] == 'w' ? !ParseWindow(value, &options->window)
                           : !ParseSeconds(value, &options->seconds)) {
            return Fail(2, "bad value: ", value);
        }
    }
    if (options->seconds == 0.0) {
        return Fail(2, kUsage);
    }
    return 0;
}

// The share of the window that one damage rectangle covers, clipped to the window.
double DamagedShare(const XDamageNotifyEvent& event) {
    const double windowArea =
        static_cast<double>(event.geometry.width) * static_cast<double>(event.geometry.height);
    if (windowArea <= 0.0) {
        return 0.0;
    }
    const long left = event.area.x > 0 ? event.area.x : 0;
    const long top = event.area.y > 0 ? event.area.y : 0;
    const long right = std::min<long>(event.area.x + event.area.width, event.geometry.width);
    const long bottom = std::min<long>(event.area.y + event.area.height, event.geometry.height);
    if (right <= left || bottom <= top) {
        return 0.0;
    }
    return static_cast<double>(right - left) * static_cast<double>(bottom - top) / windowArea;
}

// Counts until the time is up or the window goes; returns the frames, and the seconds counted.
double CountFrames(Display* display, Window window, int damageEvent, double seconds,
                   double* counted) {
    const double start = ReadSeconds();
    const double end = start + seconds;
    const int fd = ConnectionNumber(display);
    double frames = 0.0;
    bool gone = false;
    double now = start;
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == damageEvent + XDamageNotify) {
                frames += DamagedShare(*reinterpret_cast<XDamageNotifyEvent*>(&event));
            } else if (event.type == DestroyNotify && event.xdestroywindow.window == window) {
                gone = true;
            }
        }
        now = ReadSeconds();
        if (gone || now >= end) {
            break;
        }
        const double wait = end - now;
        timeval timeout;
        timeout.tv_sec = static_cast<time_t>(wait);
        timeout.tv_usec = static_cast<suseconds_t>((wait - std::floor(wait)) * 1e6);
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        select(fd + 1, &readable, nullptr, nullptr, &timeout);
    }
    *counted = now - start;
    return frames;
}

} // namespace

int main(int argc, char** argv) {
    CounterOptions options;
    if (const int status = ParseOptions(argc, argv, &options)) {
        return status;
    }
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || name[0] == '\0') {
        return Fail(1, "DISPLAY is not set");
    }
    Display* display = XOpenDisplay(name);
    if (display == nullptr) {
        return Fail(1, "cannot open display ", name);
    }
    int damageEvent = 0;
    int damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        return Fail(1, "the X server has no DAMAGE extension");
    }
    XSetErrorHandler(RecordXError);
    const Window window = options.window != 0 ? options.window : DefaultRootWindow(display);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || g_xError != 0) {
        return Fail(1, "no such window");
    }
    // Raw rectangles: every drawing request is reported, none merged away, nothing to repair.
    XSelectInput(display, window, StructureNotifyMask);
    const Damage damage = XDamageCreate(display, window, XDamageReportRawRectangles);
    // The server reports the whole window as damaged when the object is made: not a frame.
    XSync(display, True);
    if (g_xError != 0) {
        return Fail(1, "cannot watch the window for damage");
    }
    double counted = 0.0;
    const double frames = CountFrames(display, window, damageEvent, options.seconds, &counted);
    std::printf("frames=%.2f seconds=%.3f fps=%.2f\n", frames, counted,
                counted > 0.0 ? frames / counted : 0.0);
    XDamageDestroy(display, damage);
    XCloseDisplay(display);
    return 0;
}

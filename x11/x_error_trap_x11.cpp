// x_error_trap_x11.cpp -- the X error trap: the first error since it was set, kept for the caller.
#include "x11/x_error_trap_x11.h"

namespace {

int g_trappedError = 0;

int TrapXError(Display*, XErrorEvent* event) {
    if (g_trappedError == 0) {
        g_trappedError = event->error_code;
    }
    return 0;
}

} // namespace

XErrorHandler SetXErrorTrap(Display* display) {
    XSync(display, False); // errors of earlier requests are not the caller's
    g_trappedError = 0;
    return XSetErrorHandler(TrapXError);
}

bool TrappedXError(Display* display) {
    XSync(display, False);
    return g_trappedError != 0;
}

void ReleaseXErrorTrap(Display* display, XErrorHandler previous) {
    XSync(display, False);
    XSetErrorHandler(previous);
}

// x_error_trap_x11.h -- catching the X errors of a few requests instead of leaving them to the
// program's handler, whose default ends the process: a window may have gone, a visual may not
// suit GL, a server may not reach a shared segment.
#pragma once

#include <X11/Xlib.h>

// Starts catching; returns the handler to put back with ReleaseXErrorTrap.
XErrorHandler SetXErrorTrap(Display* display);
// Whether any request since the trap was set failed.
bool TrappedXError(Display* display);
void ReleaseXErrorTrap(Display* display, XErrorHandler previous);

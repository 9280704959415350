// gl_context_glx.h -- the X window that the GLX context draws into, as a front end hands it over.
#pragma once

#include "x11/view_x11.h"

// The window argument of CreateGLContext on X11 is an X11View. The window's own visual decides
// the context: it must be GL-capable RGBA with at least 8 bits per colour channel.

// A visual on the screen that CreateGLContext accepts, for a window of the program's own:
// double-buffered where the driver offers it. False when the screen has none.
bool FindGLVisual(Display* display, int screen, Visual** visual, int* depth);

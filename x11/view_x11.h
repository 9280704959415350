// view_x11.h -- the X window a presenter draws into, as an X11 front end hands it over.
#pragma once

#include <X11/Xlib.h>

// The surface of the X11 presenters and the window argument of CreateGLContext on X11.
struct X11View {
    Display* display;
    Window window;
    const char* error; // why the GL context could not be made, in a few words; null when it could
};

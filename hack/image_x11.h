// image_x11.h -- the image presenter: the picture drawn on the processor into an X image of the
// window's own visual, shown with MIT-SHM where the server allows it and with XPutImage where not.
#pragma once

#include <X11/Xlib.h>

#include <string>

// Takes the window's visual (24- or 32-bit TrueColor, any channel order), reseeds the model from
// the clock and starts a freshly randomised scene of the given size. False, with the reason in a
// few words in error, for a visual it cannot draw on.
bool StartImagePresenter(Display* display, Window window, int width, int height, bool showFps,
                         double nowMs, double cpuMs, std::string* error);
// A new size: a new image, the animation goes on.
void ResizeImagePresenter(int width, int height);
// Advances the model to a reading of the counter, draws the frame (and the readout) and hands it
// to the X server.
void DrawImageFrame(int frameMs, double nowMs, double cpuMs);
// Detaches and removes the shared memory and frees the image.
void StopImagePresenter();

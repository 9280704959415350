// xshm_image_x11.h -- an X image of a window's visual in memory the X server reads: a MIT-SHM
// segment where the server can attach one, else the program's memory sent with XPutImage. It
// knows nothing of what is drawn into it.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

struct XShmImage {
    Display* display;
    XImage* image; // null: none made
    XShmSegmentInfo segment;
    bool shared;     // the image lives in a segment the server has attached
    bool pending;    // a put that the server may not have finished
    bool trySharing; // until the server refuses a segment once
};

// An image of that size, shared if the server takes it; false when not even a plain one can be
// had. A remote display or one without MIT-SHM gets a plain image.
bool CreateXShmImage(XShmImage* image, Display* display, Visual* visual, int depth, int width,
                     int height);
// Waits until the server has taken the last put out of the image, so it can be drawn into again.
void WaitForXShmImage(XShmImage* image);
// Hands the whole image to the window.
void PutXShmImage(XShmImage* image, Window window, GC gc);
// Detaches and removes the segment (or frees the plain pixels) and the image.
void DestroyXShmImage(XShmImage* image);

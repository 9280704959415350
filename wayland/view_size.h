// view_size.h -- how large a Wayland view's buffers are and how they map onto its surface: at the
// output's physical size wherever the compositor lets it be known, and always covering it.
#pragma once

// What the compositor has said about a view's surface and its output.
struct ViewScale {
    int logicalWidth, logicalHeight; // the surface's size from its configure
    int preferred120;                // wp_fractional_scale_v1's preferred scale in 120ths; 0: none
    bool viewporter;                 // wp_viewporter is offered
    int outputScale;                 // wl_output.scale, a whole number (rounded up), at least 1
    int modeWidth, modeHeight;       // the output's current mode; 0 for --window's
};

// How the view is drawn.
struct ViewSize {
    int bufferWidth, bufferHeight; // physical pixels
    int bufferScale;           // wl_surface.set_buffer_scale: 1 where a viewport maps the buffer
    int destWidth, destHeight; // the viewport's destination; 0 for none
    double physicalPerLogical; // physical pixels to a surface pixel, across
};

// With the fractional scale and a viewport: buffers of exactly the physical size (the logical
// size times the scale, rounded half up), mapped 1:1. With a viewport only: buffers of the
// output's mode, on a destination that covers it (one surface pixel more where the compositor
// rounded the logical size down). With neither: the whole-number scale, the surface one pixel
// larger where that leaves part of the output uncovered. No buffer is larger than the output's
// mode but in that last case, by less than the scale.
ViewSize SizeView(const ViewScale& scale);

// The output's scale in 120ths that its mode and a logical size rounded from it imply: the one
// multiple of 1/120 from which the logical size comes; 0 when there is none, or more than one.
int ImpliedScale120(int mode, int logical);

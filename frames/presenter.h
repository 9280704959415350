// presenter.h -- the presenter contract: how a front end's frames reach its surface. Each way of
// showing a frame (GL, an X image, Wayland shm, GDI, a canvas) is one table of these calls; a
// front end picks one table when it starts and never asks which one it has.
#pragma once

#include <string>

struct Presenter {
    // What the readout calls it: "gl", "image", ...
    const char* name;
    // Attaches to the front end's surface (each presenter says what surface points at) and sizes
    // what frames of width x height need. The front end starts the scene afterwards (StartScene),
    // whatever start did to the model. False, with a few words in error and nothing held, when it
    // cannot show frames there.
    bool (*start)(void* surface, int width, int height, std::string* error);
    // The surface has a new size: the buffers follow, the animation goes on.
    void (*resize)(int width, int height);
    // Draws the model's current frame, and the readout's text over it unless readout is null.
    // False when the view is not drawn (empty, too large, or its memory could not be had): then
    // there is nothing to present.
    bool (*draw)(const char* readout);
    // Shows the frame just drawn.
    void (*present)();
    // Releases everything start took; does nothing when start failed.
    void (*stop)();
};

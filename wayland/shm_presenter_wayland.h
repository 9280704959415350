// shm_presenter_wayland.h -- the Wayland shm presenter: the picture drawn on the processor into
// wl_shm buffers of a surface, two per surface from one pool, reused when the compositor lets go.
#pragma once

#include "frames/presenter.h"

#include <wayland-client.h>

// The presenter's surface argument: where its buffers come from and the surface they go to. The
// front end owns the wl_surface and commits it; the presenter attaches and damages.
struct ShmTarget {
    wl_shm* shm;
    wl_surface* surface;
};

// start(surface = ShmTarget*): buffers of the model's view size, in physical pixels.
extern const Presenter kShmPresenter;

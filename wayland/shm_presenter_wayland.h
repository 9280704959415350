// shm_presenter_wayland.h -- the Wayland shm presenter: the picture drawn on the processor into
// wl_shm buffers of a surface, two per surface from one pool, reused when the compositor lets go.
#pragma once

#include "frames/presenter.h"

#include <wayland-client.h>

#include <cstddef>
#include <cstdint>

constexpr int kShmBuffers = 2;

struct ShmBuffer {
    wl_buffer* buffer;
    uint32_t* pixels;
    bool busy; // attached and not yet released by the compositor
};

// One surface's buffers: the presenter's surface argument. The front end owns the record and its
// wl_surface; the presenter fills in the rest.
struct ShmSurface {
    wl_surface* surface;
    int width, height; // of the buffers, in physical pixels
    int fd;            // the pool's shared-memory file
    void* memory;
    size_t size;
    wl_shm_pool* pool;
    ShmBuffer buffers[kShmBuffers];
    int drawn;         // the buffer just drawn, -1 for none
    bool pictureSized; // SizePicture has seen this size under the surface's own scene
    int lastBandTop;   // rows the band covered in the last frame presented, for the damage
    int lastBandEnd;
};

// The shm global the buffers come from; set once the registry has offered it.
void SetShmGlobal(wl_shm* shm);
// The surface the presenter's calls act on from now on (start sets it too). Each output's
// surface has its own scene: the front end swaps the model in around these calls.
void UseShmSurface(ShmSurface* surface);

// start(surface = ShmSurface*, width, height): buffers of that many physical pixels.
extern const Presenter kShmPresenter;

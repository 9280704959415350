// shm_presenter_wayland.cpp -- the Wayland shm presenter: a memfd pool of two buffers per
// surface, the picture drawn into a free one, attached and damaged where the frame changed.
#include "wayland/shm_presenter_wayland.h"

#include "model/band.h"
#include "picture/picture.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr int kShmBuffers = 2;

// XRGB8888, which every compositor takes: a native 32-bit 0xXXRRGGBB, its unused byte 0xFF, which
// compositors that read it as alpha (weston's screenshots) then take as opaque.
constexpr TexelLayout kShmLayout = {16, 8, 0, 0xFF000000u, 0xFF000000u};

struct ShmBuffer {
    wl_buffer* buffer;
    PictureImage image; // its pixels, and what the last frame drawn into it left there
    bool busy;          // attached and not yet released by the compositor
};

// One surface's buffers: the presenter's instance.
struct ShmFrames {
    ShmTarget target;
    int width, height; // of the buffers, in physical pixels
    int fd;            // the pool's shared-memory file
    void* memory;
    size_t size;
    wl_shm_pool* pool;
    ShmBuffer buffers[kShmBuffers];
    PictureBuffers picture;
    int drawn;                    // the buffer just drawn, -1 for none
    int bandTop, bandEnd;         // rows the band covers in the frame just drawn, from the top
    int lastBandTop, lastBandEnd; // and in the last one presented, for the damage
};

// A shared-memory file of bytes, mapped, for a pool; null, with *fd -1, when either the file or
// its memory cannot be had.
void* MapSharedFile(const char* name, size_t bytes, int* fd) {
    *fd = memfd_create(name, MFD_CLOEXEC);
    int grown = -1;
    if (*fd >= 0) {
        do {
            grown = posix_fallocate(*fd, 0, static_cast<off_t>(bytes));
        } while (grown == EINTR);
    }
    void* memory =
        grown == 0 ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, *fd, 0) : MAP_FAILED;
    if (memory != MAP_FAILED) {
        return memory;
    }
    if (*fd >= 0) {
        close(*fd);
    }
    *fd = -1;
    return nullptr;
}

void OnBufferRelease(void* data, wl_buffer*) {
    static_cast<ShmBuffer*>(data)->busy = false;
}

const wl_buffer_listener kBufferListener = {OnBufferRelease};

void DestroyBuffers(ShmFrames* s) {
    for (ShmBuffer& b : s->buffers) {
        if (b.buffer != nullptr) {
            wl_buffer_destroy(b.buffer);
        }
        b = ShmBuffer{};
    }
    if (s->pool != nullptr) {
        wl_shm_pool_destroy(s->pool);
    }
    if (s->memory != nullptr) {
        munmap(s->memory, s->size);
    }
    if (s->fd >= 0) {
        close(s->fd);
    }
    s->pool = nullptr;
    s->memory = nullptr;
    s->size = 0;
    s->fd = -1;
    s->drawn = -1;
}

// Buffers for the model's view in physical pixels; none (and nothing drawn) for an empty view,
// one too large, or memory that cannot be had.
void CreateBuffers(ShmFrames* s, const ModelState& model) {
    DestroyBuffers(s);
    const int width = model.scene.viewWidth;
    const int height = model.scene.viewHeight;
    s->width = width;
    s->height = height;
    s->lastBandTop = 0;
    s->lastBandEnd = height; // the first frame damages everything
    const long long pixels = static_cast<long long>(width) * height;
    if (width <= 0 || height <= 0 || pixels > kMaxViewPixels || !SizePicture(s->picture, model)) {
        return;
    }
    const size_t bytes = static_cast<size_t>(pixels) * 4;
    void* memory = MapSharedFile("ripplefield-wayland", bytes * kShmBuffers, &s->fd);
    if (memory == nullptr) {
        return;
    }
    s->memory = memory;
    s->size = bytes * kShmBuffers;
    s->pool = wl_shm_create_pool(s->target.shm, s->fd, static_cast<int32_t>(s->size));
    for (int i = 0; i < kShmBuffers; ++i) {
        ShmBuffer& b = s->buffers[i];
        uint32_t* pixels = reinterpret_cast<uint32_t*>(static_cast<char*>(memory) + bytes * i);
        b.image = PictureImage{pixels, width, height, width, kShmLayout, {}};
        b.buffer = wl_shm_pool_create_buffer(s->pool, static_cast<int32_t>(bytes * i), width,
                                             height, width * 4, WL_SHM_FORMAT_XRGB8888);
        wl_buffer_add_listener(b.buffer, &kBufferListener, &b);
    }
}

void* StartShm(void* surface, const ModelState& model, std::string* error) {
    const ShmTarget* target = static_cast<const ShmTarget*>(surface);
    if (target->shm == nullptr) {
        *error = "the compositor offers no shared memory (wl_shm)";
        return nullptr;
    }
    ShmFrames* s = new ShmFrames{};
    s->target = *target;
    s->fd = -1;
    s->drawn = -1;
    CreateBuffers(s, model);
    return s;
}

void ResizeShm(void* frames, const ModelState& model) {
    CreateBuffers(static_cast<ShmFrames*>(frames), model);
}

bool DrawShm(void* frames, const ModelState& model, const char* readout) {
    ShmFrames* s = static_cast<ShmFrames*>(frames);
    s->drawn = -1;
    if (s->pool == nullptr) {
        return false;
    }
    int free = 0;
    while (free < kShmBuffers && s->buffers[free].busy) {
        ++free;
    }
    if (free == kShmBuffers) {
        return false; // the compositor holds both; this frame is skipped
    }
    if (!DrawPicture(model, s->picture, s->buffers[free].image, readout)) {
        return false;
    }
    const BandRows band = BandRowsOf(s->height, model.scene.letterbox);
    s->bandTop = std::clamp(s->height - band.viewY - band.viewHeight, 0, s->height);
    s->bandEnd = std::clamp(s->height - band.viewY, s->bandTop, s->height);
    if (readout != nullptr) {
        s->bandTop = 0; // the text may lie in the margins: damage it all
        s->bandEnd = s->height;
    }
    s->drawn = free;
    return true;
}

// Damage: the rows of this frame's band and of the last one (margins follow the band), all of
// it while a readout is drawn or after new buffers.
void PresentShm(void* frames) {
    ShmFrames* s = static_cast<ShmFrames*>(frames);
    if (s->drawn < 0) {
        return;
    }
    ShmBuffer& b = s->buffers[s->drawn];
    const int first = std::min(s->bandTop, s->lastBandTop);
    const int last = std::max(s->bandEnd, s->lastBandEnd);
    s->lastBandTop = s->bandTop;
    s->lastBandEnd = s->bandEnd;
    wl_surface_attach(s->target.surface, b.buffer, 0, 0);
    wl_surface_damage_buffer(s->target.surface, 0, first, s->width, std::max(last - first, 0));
    b.busy = true;
    s->drawn = -1;
}

void StopShm(void* frames) {
    ShmFrames* s = static_cast<ShmFrames*>(frames);
    DestroyBuffers(s);
    delete s;
}

bool ShmDrawsView(void* frames) {
    return static_cast<ShmFrames*>(frames)->pool != nullptr;
}

} // namespace

wl_buffer* CreateSolidBuffer(wl_shm* shm, int width, int height, uint32_t pixel) {
    const long long pixels = static_cast<long long>(width) * height;
    if (shm == nullptr || width <= 0 || height <= 0 || pixels > (1LL << 29)) {
        return nullptr;
    }
    const size_t bytes = static_cast<size_t>(pixels) * 4;
    int fd = -1;
    void* memory = MapSharedFile("ripplefield-wayland-background", bytes, &fd);
    if (memory == nullptr) {
        return nullptr;
    }
    std::fill_n(static_cast<uint32_t*>(memory), pixels, pixel);
    munmap(memory, bytes);
    // The compositor maps the file itself; the pool may go once the buffer is made.
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(bytes));
    wl_buffer* buffer =
        wl_shm_pool_create_buffer(pool, 0, width, height, width * 4, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

const Presenter kShmPresenter = {
    PresentChoice::kImage, StartShm, ResizeShm, DrawShm, PresentShm, StopShm, nullptr, nullptr,
    ShmDrawsView};

// shm_presenter_wayland.cpp -- the Wayland shm presenter: a memfd pool of two buffers per
// surface, the picture drawn into a free one, attached and damaged where the frame changed.
#include "wayland/shm_presenter_wayland.h"

#include "model/band.h"
#include "model/scene.h"
#include "picture/font.h"
#include "picture/picture.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The process-wide record of the presenter: where buffers come from and the surface in hand.
struct ShmPresenter {
    wl_shm* shm;
    ShmSurface* surface;
    TexelLayout layout; // XRGB8888, which every compositor takes: a native 32-bit 0xXXRRGGBB
};

ShmPresenter g_shmPresenter = {nullptr, nullptr, {16, 8, 0, 0}};

void OnBufferRelease(void* data, wl_buffer*) {
    static_cast<ShmBuffer*>(data)->busy = false;
}

const wl_buffer_listener kBufferListener = {OnBufferRelease};

void DestroyBuffers(ShmSurface* s) {
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
        // New buffers may be mapped where these were: the picture must not trust their margins.
        ForgetPictureContents();
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

// Buffers for width x height physical pixels; none (and nothing drawn) for an empty view, one too
// large, or memory that cannot be had.
void CreateBuffers(ShmSurface* s, int width, int height) {
    DestroyBuffers(s);
    s->width = width;
    s->height = height;
    s->pictureSized = false;
    s->lastBandTop = 0;
    s->lastBandEnd = height; // the first frame damages everything
    const long long pixels = static_cast<long long>(width) * height;
    if (width <= 0 || height <= 0 || pixels > kMaxViewPixels || g_shmPresenter.shm == nullptr) {
        return;
    }
    const size_t bytes = static_cast<size_t>(pixels) * 4;
    s->fd = memfd_create("ripplefield-wayland", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    int grown = -1;
    if (s->fd >= 0) {
        do {
            grown = posix_fallocate(s->fd, 0, static_cast<off_t>(bytes * kShmBuffers));
        } while (grown == EINTR);
    }
    void* memory = grown == 0 ? mmap(nullptr, bytes * kShmBuffers, PROT_READ | PROT_WRITE,
                                     MAP_SHARED, s->fd, 0)
                              : MAP_FAILED;
    if (memory == MAP_FAILED) {
        if (s->fd >= 0) {
            close(s->fd);
        }
        s->fd = -1;
        return;
    }
    s->memory = memory;
    s->size = bytes * kShmBuffers;
    s->pool = wl_shm_create_pool(g_shmPresenter.shm, s->fd, static_cast<int32_t>(s->size));
    for (int i = 0; i < kShmBuffers; ++i) {
        ShmBuffer& b = s->buffers[i];
        b.pixels = reinterpret_cast<uint32_t*>(static_cast<char*>(memory) + bytes * i);
        b.buffer = wl_shm_pool_create_buffer(s->pool, static_cast<int32_t>(bytes * i), width,
                                             height, width * 4, WL_SHM_FORMAT_XRGB8888);
        wl_buffer_add_listener(b.buffer, &kBufferListener, &b);
    }
    ForgetPictureContents();
}

bool StartShm(void* surface, int width, int height, std::string* error) {
    ShmSurface* s = static_cast<ShmSurface*>(surface);
    if (g_shmPresenter.shm == nullptr) {
        *error = "the compositor offers no shared memory (wl_shm)";
        return false;
    }
    s->fd = -1;
    s->drawn = -1;
    g_shmPresenter.surface = s;
    CreateBuffers(s, width, height);
    return true;
}

void ResizeShm(int width, int height) {
    ShmSurface* s = g_shmPresenter.surface;
    CreateBuffers(s, width, height);
    g_model.scene.viewWidth = width;
    g_model.scene.viewHeight = height;
}

// The band's rows from the top, as the picture puts them.
void BandSpan(int height, int* top, int* end) {
    const BandRows band = BandRowsOf(height, g_model.scene.letterbox);
    *top = std::clamp(height - band.viewY - band.viewHeight, 0, height);
    *end = std::clamp(height - band.viewY, *top, height);
}

bool DrawShm(const char* readout) {
    ShmSurface* s = g_shmPresenter.surface;
    s->drawn = -1;
    if (s->pool == nullptr) {
        return false;
    }
    if (!s->pictureSized) {
        if (!SizePicture(s->width, s->height)) {
            return false;
        }
        s->pictureSized = true;
    }
    int free = 0;
    while (free < kShmBuffers && s->buffers[free].busy) {
        ++free;
    }
    if (free == kShmBuffers) {
        return false; // the compositor holds both; this frame is skipped
    }
    const PictureImage image{s->buffers[free].pixels, s->width, s->height, s->width,
                             g_shmPresenter.layout};
    DrawPictureFrame(image);
    if (readout != nullptr) {
        DrawPictureText(image, readout);
        s->lastBandTop = 0; // the text may lie in the margins: damage it all
        s->lastBandEnd = s->height;
    }
    s->drawn = free;
    return true;
}

// Damage: the rows of this frame's band and of the last one (margins follow the band), all of
// it while a readout is drawn or after new buffers.
void PresentShm() {
    ShmSurface* s = g_shmPresenter.surface;
    if (s->drawn < 0) {
        return;
    }
    ShmBuffer& b = s->buffers[s->drawn];
    int top = 0;
    int end = 0;
    BandSpan(s->height, &top, &end);
    const int first = std::min(top, s->lastBandTop);
    const int last = std::max(end, s->lastBandEnd);
    s->lastBandTop = top;
    s->lastBandEnd = end;
    wl_surface_attach(s->surface, b.buffer, 0, 0);
    wl_surface_damage_buffer(s->surface, 0, first, s->width, std::max(last - first, 0));
    b.busy = true;
    s->drawn = -1;
}

void StopShm() {
    ShmSurface* s = g_shmPresenter.surface;
    if (s != nullptr) {
        DestroyBuffers(s);
    }
    g_shmPresenter.surface = nullptr;
}

} // namespace

void SetShmGlobal(wl_shm* shm) {
    g_shmPresenter.shm = shm;
}

void UseShmSurface(ShmSurface* surface) {
    g_shmPresenter.surface = surface;
}

const Presenter kShmPresenter = {"shm", StartShm, ResizeShm, DrawShm, PresentShm, StopShm};

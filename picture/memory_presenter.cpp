// memory_presenter.cpp -- the memory presenter: the picture's frame in a pixel vector of its own.
#include "picture/memory_presenter.h"

#include "model/scene.h"
#include "picture/font.h"
#include "picture/picture.h"

#include <new>
#include <vector>

namespace {

struct MemoryPresenterState {
    TexelLayout layout;
    std::vector<uint32_t> pixels;
    int width;
    int height;
    bool drawn; // false: an empty view, or one whose memory could not be had
};

MemoryPresenterState g_memory = {kRgbaTexels, {}, 0, 0, false};

void SizeMemory(int width, int height) {
    MemoryPresenterState& m = g_memory;
    m.width = width;
    m.height = height;
    m.drawn = false;
    g_model.scene.viewWidth = width; // the picture draws the scene's view
    g_model.scene.viewHeight = height;
    const long long pixels = static_cast<long long>(width) * height;
    if (width <= 0 || height <= 0 || pixels > kMaxViewPixels) {
        m.pixels.clear();
        return;
    }
    try {
        m.pixels.assign(static_cast<size_t>(pixels), 0);
    } catch (const std::bad_alloc&) {
        return;
    }
    m.drawn = SizePicture(width, height);
    ForgetPictureContents();
}

bool StartMemory(void* surface, int width, int height, std::string* error) {
    const TexelLayout* layout = static_cast<const TexelLayout*>(surface);
    g_memory.layout = layout != nullptr ? *layout : kRgbaTexels;
    SizeMemory(width, height);
    if (!g_memory.drawn && width > 0 && height > 0) {
        *error = "out of memory for a " + std::to_string(width) + "x" + std::to_string(height) +
                 " frame";
        g_memory.pixels = std::vector<uint32_t>();
        return false;
    }
    return true;
}

bool DrawMemory(const char* readout) {
    MemoryPresenterState& m = g_memory;
    if (!m.drawn) {
        return false;
    }
    const PictureImage image{m.pixels.data(), m.width, m.height, m.width, m.layout};
    DrawPictureFrame(image);
    if (readout != nullptr) {
        DrawPictureText(image, readout);
    }
    return true;
}

void PresentMemory() {}

void StopMemory() {
    g_memory = MemoryPresenterState{kRgbaTexels, {}, 0, 0, false};
}

} // namespace

const Presenter kMemoryPresenter = {"memory",   StartMemory,   SizeMemory,
                                    DrawMemory, PresentMemory, StopMemory};

const uint32_t* MemoryPresenterPixels() {
    return g_memory.drawn ? g_memory.pixels.data() : nullptr;
}

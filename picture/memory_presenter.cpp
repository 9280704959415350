// memory_presenter.cpp -- the memory presenter: the picture's frame in a pixel vector of its own.
#include "picture/memory_presenter.h"

#include "picture/picture.h"

#include <new>
#include <vector>

namespace {

struct MemoryFrames {
    std::vector<uint32_t> pixels;
    PictureImage image;
    PictureBuffers picture;
    bool drawn; // false: an empty view, or one whose memory could not be had
};

void SizeMemory(void* instance, const ModelState& model) {
    MemoryFrames& m = *static_cast<MemoryFrames*>(instance);
    const int width = model.scene.viewWidth;
    const int height = model.scene.viewHeight;
    m.drawn = false;
    m.image = PictureImage{nullptr, width, height, width, m.image.layout, {}};
    const long long pixels = static_cast<long long>(width) * height;
    if (width <= 0 || height <= 0 || pixels > kMaxViewPixels) {
        m.pixels = std::vector<uint32_t>();
        return;
    }
    try {
        m.pixels.assign(static_cast<size_t>(pixels), 0);
    } catch (const std::bad_alloc&) {
        m.pixels = std::vector<uint32_t>();
        return;
    }
    m.image.pixels = m.pixels.data();
    m.drawn = SizePicture(m.picture, model);
}

void* StartMemory(void* surface, const ModelState& model, std::string* error) {
    const TexelLayout* layout = static_cast<const TexelLayout*>(surface);
    MemoryFrames* m = new MemoryFrames{};
    m->image.layout = layout != nullptr ? *layout : kRgbaTexels;
    SizeMemory(m, model);
    const int width = model.scene.viewWidth;
    const int height = model.scene.viewHeight;
    if (!m->drawn && width > 0 && height > 0) {
        *error = "out of memory for a " + std::to_string(width) + "x" + std::to_string(height) +
                 " frame";
        delete m;
        return nullptr;
    }
    return m;
}

bool DrawMemory(void* instance, const ModelState& model, const char* readout) {
    MemoryFrames& m = *static_cast<MemoryFrames*>(instance);
    return m.drawn && DrawPicture(model, m.picture, m.image, readout);
}

void PresentMemory(void*) {}

void StopMemory(void* instance) {
    delete static_cast<MemoryFrames*>(instance);
}

bool MemoryDrawsView(void* instance) {
    return static_cast<MemoryFrames*>(instance)->drawn;
}

void ReadMemoryRow(void* instance, int y, unsigned char* rgb) {
    ReadPictureRow(static_cast<MemoryFrames*>(instance)->image, y, rgb);
}

} // namespace

const Presenter kMemoryPresenter = {PresentChoice::kImage, StartMemory, SizeMemory, DrawMemory,
                                    PresentMemory,         StopMemory,  nullptr,    ReadMemoryRow,
                                    MemoryDrawsView};

const uint32_t* MemoryPresenterPixels(const void* instance) {
    const MemoryFrames& m = *static_cast<const MemoryFrames*>(instance);
    return m.drawn ? m.pixels.data() : nullptr;
}

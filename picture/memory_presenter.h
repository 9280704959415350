// memory_presenter.h -- frames drawn on the processor into pixels the presenter keeps in memory,
// for programs that read them back (the still renderer, the benchmark, the page's canvas).
#pragma once

#include "frames/presenter.h"
#include "model/field.h"

#include <cstdint>

// The presenter's surface argument: the pixels' layout and the most pixels a view may have (0 for
// kMaxViewPixels, the limit of the programs that show frames on a screen). Null: RGBA bytes in
// memory order, that limit.
struct MemoryTarget {
    TexelLayout layout;
    long long maxPixels;
};

// Presenting does nothing: the frame stays in the presenter's memory until the next one is drawn.
extern const Presenter kMemoryPresenter;

// The last frame of a started instance, rows from the top, width pixels a row; null when the view
// is not drawn.
const uint32_t* MemoryPresenterPixels(const void* frames);

// memory_presenter.h -- frames drawn on the processor into pixels the presenter keeps in memory,
// for programs that read them back (the still renderer, the benchmark, the page's canvas).
#pragma once

#include "frames/presenter.h"
#include "model/field.h"

#include <cstdint>

// The surface is the pixels' TexelLayout (null: RGBA bytes in memory order). Presenting does
// nothing: the frame stays in the presenter's memory until the next one is drawn.
extern const Presenter kMemoryPresenter;

// The last frame of a started instance, rows from the top, width pixels a row; null when the view
// is not drawn.
const uint32_t* MemoryPresenterPixels(const void* frames);

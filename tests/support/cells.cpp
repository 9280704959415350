// cells.cpp -- the model's cells, the model run as the still renderer runs it, a frame's pixels.
#include "cells.h"

#include <cmath>

#include "model/animation.h"
#include "model/scene.h"

static void CollectRow(const FieldRow& row, void* context) {
    auto* cells = static_cast<std::vector<FieldCell>*>(context);
    for (int i = 0; i < row.columns; ++i) {
        const float* c = row.rgb + 3 * i;
        cells->push_back(
            FieldCell{row.edges[i], row.y, row.edges[i + 1], row.y2, {c[0], c[1], c[2]}});
    }
}

std::vector<FieldCell> CollectCells(const ModelState& model, const FieldTexels* texels) {
    FieldFrame frame;
    PrepareFieldFrame(model, &frame);
    std::vector<FieldCell> cells;
    FieldRowBuffers rows;
    WalkField(frame, rows, CollectRow, &cells, texels);
    return cells;
}

ModelState ModelAt(int width, int height, uint32_t seed, const std::vector<int>& ticks) {
    ModelState model{};
    StartScene(model, seed, width, height);
    for (const int tick : ticks) {
        AdvanceFrame(model, tick);
    }
    return model;
}

bool IsClearColour(const unsigned char* p) {
    return p[0] == 0 && p[1] == 0 && (p[2] == 25 || p[2] == 26); // 0.1 of 255
}

::testing::AssertionResult
FrameMatchesCells(const ModelState& model, const std::vector<unsigned char>& pixels, int w, int h) {
    // The model does not change while a frame is drawn.
    const std::vector<FieldCell> cells = CollectCells(model);
    if (cells.empty()) {
        return ::testing::AssertionFailure() << "the frame has no cells";
    }
    const double l = model.scene.letterbox;
    const int viewY = static_cast<int>(l * h);
    const int viewH = static_cast<int>((1.0 - 2.0 * l) * h);
    const int bottom = static_cast<int>(l * h);
    const int top = static_cast<int>((1.0 - l) * h);
    const auto pixel = [&](int x, int y) { return &pixels[4 * (static_cast<size_t>(y) * w + x)]; };
    size_t checked = 0;
    for (const FieldCell& c : cells) {
        const double cx = (c.x + c.x2) / 2.0;
        const double cy = (c.y + c.y2) / 2.0;
        if (cx >= w || cy >= top) {
            continue; // clipped at the band's edge
        }
        const int py = viewY + static_cast<int>((cy - bottom) * viewH / (top - bottom));
        const unsigned char* p = pixel(static_cast<int>(cx), py);
        for (int k = 0; k < 3; ++k) {
            if (std::abs(p[k] / 255.0 - c.rgb[k]) > 1.0 / 255 + 1e-6) {
                return ::testing::AssertionFailure()
                       << "cell at " << c.x << "," << c.y << " channel " << k << " shows "
                       << int(p[k]) << " for " << c.rgb[k];
            }
        }
        ++checked;
    }
    if (checked < cells.size() * 3 / 4) {
        return ::testing::AssertionFailure() << "only " << checked << " cells inside the band";
    }
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            if ((y < viewY || y >= viewY + viewH) && !IsClearColour(pixel(x, y))) {
                return ::testing::AssertionFailure() << "strip pixel " << x << "," << y;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

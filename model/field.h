// field.h -- field evaluation, colour ramp and the row and column walk over the cells.
#pragma once

#include "model/scene.h"

// Everything that stays fixed for one frame, formed once before the walk.
struct FieldFrame {
    int width;
    int yStart; // first row of the band
    int yEnd;   // rows stop below this
    double cellSize;
    double freq;
    int blobCount;
    double blob[kBlobParamCapacity]; // per blob: centre x, centre y, frequency multiplier, phase
    double invWidth;                 // 1 / W
    double rowScale;                 // (1 - L) * (1 / yEnd) * 0.5: fy = y * rowScale
};

struct CellColor {
    double r, g, b;
};

// One row of cells as the walk hands it over; the buffers live until the next row.
struct FieldRow {
    int y;
    int y2;
    int columns;
    const int* edges; // columns + 1 edges: cell i spans edges[i] to edges[i + 1]
    const float* rgb; // 3 * columns colours, as handed to GL
};

using FieldRowSink = void (*)(const FieldRow& row, void* context);

// Forms the frame's quantities from the current model state.
void PrepareFieldFrame(FieldFrame* frame);
double FieldValue(const FieldFrame& frame, double fx, double fy);
CellColor ShadeCell(double v);
// Colours of one row of cells at height y, one per column edge but the last.
void ShadeFieldRow(const FieldFrame& frame, int y, const int* edges, int columns, float* rgb);
// Hands every row to the sink, bottom to top; each row's cells run left to right.
void WalkField(const FieldFrame& frame, FieldRowSink sink, void* context);

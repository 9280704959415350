// field.h -- field evaluation, colour ramp and the row and column walk over the cells.
#pragma once

#include <cstdint>
#include <vector>

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

// How a cell's colour bytes make a 32-bit texel: each byte shifted to its place (0, 8, 16 or 24)
// in the native 32-bit value, and the bits every texel has set besides (an opaque alpha byte).
// The margins' pixels have clearBits set: none where they stand for GL's clear (alpha 0), the
// alpha byte where the pixels go to a canvas, which would premultiply a clear margin into black.
struct TexelLayout {
    int redShift, greenShift, blueShift;
    uint32_t opaque;
    uint32_t clearBits = 0;
};

// Bytes R, G, B, A (255) in memory order, as GL takes GL_RGBA with GL_UNSIGNED_BYTE.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr TexelLayout kRgbaTexels = {24, 16, 8, 0xFFu};
#else
constexpr TexelLayout kRgbaTexels = {0, 8, 16, 0xFF000000u};
#endif

// Where a walk also writes the colours as texels, one per cell, each colour component turned into
// a byte as GL turns float colours into bytes: the row k-th from the band's bottom goes to
// texels + k * stride. Rows beyond the capacity, and rows wider than the stride, get none.
struct FieldTexels {
    uint32_t* texels;
    int stride;
    int rows;
    TexelLayout layout = kRgbaTexels;
};

using FieldRowSink = void (*)(const FieldRow& row, void* context);

// Forms the frame's quantities from a model's current state.
void PrepareFieldFrame(const ModelState& model, FieldFrame* frame);
double FieldValue(const FieldFrame& frame, double fx, double fy);
CellColor ShadeCell(double v);
// The byte GL makes of a float colour component: c * 255 rounded to a float, then to the nearest
// integer, ties to even.
uint8_t GLColourByte(float c);
// Colours of one row of cells at height y, one per column edge but the last, as floats unless rgb
// is null and as texels of that layout unless texels is null.
void ShadeFieldRow(const FieldFrame& frame, int y, const int* edges, int columns, float* rgb,
                   uint32_t* texels, const TexelLayout& layout);
// The cell edge after the one at that row or column. Corners are integers: the cell size is added
// in floating point and truncated at every step.
int NextCellEdge(int at, double cellSize);
// The grid the walk goes over: columns across the view, rows up the band.
void CountFieldCells(const FieldFrame& frame, int* columns, int* rows);
// The walk's row buffers, which whoever walks a view keeps with it.
struct FieldRowBuffers {
    std::vector<int> edges;
    std::vector<float> rgb;
};
// Sizes the walk's row buffers for rows of that many columns, so that a walk of a view no wider
// allocates nothing; false when they cannot be had.
bool SizeFieldRows(FieldRowBuffers& rows, int columns);
// Hands every row to the sink (if any), bottom to top; each row's cells run left to right. The
// rows are shaded by the active path, and written as texels too when texels is given; without a
// sink, only the texels are written.
void WalkField(const FieldFrame& frame, FieldRowBuffers& rows, FieldRowSink sink, void* context,
               const FieldTexels* texels = nullptr);

// The ways to shade a row: the plain reference (ShadeFieldRow) and the vector kernels, which give
// the same colours but for a rare last-bit difference of their own sine. The fused kernels (AVX2
// with FMA, NEON) give each other's bits.
enum class FieldPath { kPlain, kSse2, kAvx2, kNeon };

const char* FieldPathName(FieldPath path);
// Whether this build has the path and this CPU can run it: x86 builds have SSE2 and AVX2, arm64
// builds NEON.
bool CpuHasFieldPath(FieldPath path);
// The path that a request names ("plain", "sse2", "avx2" or "neon"; null or empty for none) on a
// CPU with the given features. No request gives the fastest path; a path the CPU lacks, or a name
// that is none of these, gives the fastest one it has, with one line on stderr.
FieldPath PickFieldPath(const char* request, bool hasSse2, bool hasAvx2, bool hasNeon = false);
// Makes WalkField use a path, or the fastest this CPU has if it lacks it; returns the one in use.
FieldPath SelectFieldPath(FieldPath path);
// The path in use; on first use picked from RIPPLEFIELD_FIELD and this CPU's features.
FieldPath ActiveFieldPath();

// picture.cpp -- the frame drawn on the processor: the field's cells in the pixel layout, each
// cell row widened into the pixel rows where GL's rasteriser puts them, and the margins.
#include "picture/picture.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "model/band.h"
#include "model/scene.h"
#include "picture/font.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PICTURE_HAS_VECTORS 1
#else
#define PICTURE_HAS_VECTORS 0
#endif
#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace {

using RowWidener = void (*)(const uint32_t* cells, int width, uint32_t* row);

// Six copies of each cell, from cells across a row of width pixels; the last cell may be cut.
void WidenSixPlain(const uint32_t* cells, int width, uint32_t* row) {
    for (int x = 0; x < width; x += 6) {
        const uint32_t cell = cells[x / 6];
        for (int k = x; k < x + 6 && k < width; ++k) {
            row[k] = cell;
        }
    }
}

#if PICTURE_HAS_VECTORS
// Two cells to three vectors of four pixels. The X server reads the image right after, from
// memory: streaming the stores past the caches spares reading each line in first, which costs the
// frame more than it saves the server (measured on the display mode at 1920x1080).
__attribute__((target("sse2"))) void WidenSixSse2(const uint32_t* cells, int width, uint32_t* row) {
    const bool aligned = (reinterpret_cast<uintptr_t>(row) & 15) == 0;
    int x = 0;
    int cell = 0;
    for (; x + 12 <= width; x += 12, cell += 2) {
        const __m128i pair = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cells + cell));
        const __m128i a = _mm_shuffle_epi32(pair, _MM_SHUFFLE(0, 0, 0, 0));
        const __m128i b = _mm_shuffle_epi32(pair, _MM_SHUFFLE(1, 1, 0, 0));
        const __m128i c = _mm_shuffle_epi32(pair, _MM_SHUFFLE(1, 1, 1, 1));
        __m128i* out = reinterpret_cast<__m128i*>(row + x);
        if (aligned) {
            _mm_stream_si128(out, a);
            _mm_stream_si128(out + 1, b);
            _mm_stream_si128(out + 2, c);
        } else {
            _mm_storeu_si128(out, a);
            _mm_storeu_si128(out + 1, b);
            _mm_storeu_si128(out + 2, c);
        }
    }
    for (; x < width; ++x) {
        row[x] = cells[x / 6];
    }
}

// Four cells to three vectors of eight pixels, streamed as above.
__attribute__((target("avx2"))) void WidenSixAvx2(const uint32_t* cells, int width, uint32_t* row) {
    const __m256i first = _mm256_setr_epi32(0, 0, 0, 0, 0, 0, 1, 1);
    const __m256i second = _mm256_setr_epi32(1, 1, 1, 1, 2, 2, 2, 2);
    const __m256i third = _mm256_setr_epi32(2, 2, 3, 3, 3, 3, 3, 3);
    const bool aligned = (reinterpret_cast<uintptr_t>(row) & 31) == 0;
    int x = 0;
    int cell = 0;
    for (; x + 24 <= width; x += 24, cell += 4) {
        const __m256i four =
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cells + cell)));
        const __m256i a = _mm256_permutevar8x32_epi32(four, first);
        const __m256i b = _mm256_permutevar8x32_epi32(four, second);
        const __m256i c = _mm256_permutevar8x32_epi32(four, third);
        __m256i* out = reinterpret_cast<__m256i*>(row + x);
        if (aligned) {
            _mm256_stream_si256(out, a);
            _mm256_stream_si256(out + 1, b);
            _mm256_stream_si256(out + 2, c);
        } else {
            _mm256_storeu_si256(out, a);
            _mm256_storeu_si256(out + 1, b);
            _mm256_storeu_si256(out + 2, c);
        }
    }
    for (; x < width; ++x) {
        row[x] = cells[x / 6];
    }
}

// Streamed stores are ordered before what follows the frame (handing the image over).
__attribute__((target("sse2"))) void FinishStores() {
    _mm_sfence();
}
#else
void FinishStores() {}
#endif

#if defined(__wasm_simd128__)
// WebAssembly's 128-bit vectors: two cells to three vectors of four pixels.
void WidenSixSimd128(const uint32_t* cells, int width, uint32_t* row) {
    int x = 0;
    int cell = 0;
    for (; x + 12 <= width; x += 12, cell += 2) {
        const v128_t a = wasm_i32x4_splat(static_cast<int32_t>(cells[cell]));
        const v128_t c = wasm_i32x4_splat(static_cast<int32_t>(cells[cell + 1]));
        wasm_v128_store(row + x, a);
        wasm_v128_store(row + x + 4, wasm_i32x4_shuffle(a, c, 0, 0, 4, 4));
        wasm_v128_store(row + x + 8, c);
    }
    for (; x < width; ++x) {
        row[x] = cells[x / 6];
    }
}
#endif

// WebAssembly has no stores past the caches: there the other pixel rows of a cell row are copies
// of its first, which the engine's own memory copy writes faster than a widener (memory.copy).
#if defined(__wasm__)
constexpr bool kCopyWidenedRows = true;
#else
constexpr bool kCopyWidenedRows = false;
#endif

// The widener for the field's path: the plain path stays plain throughout.
RowWidener PickWidener() {
#if defined(__wasm_simd128__)
    if (ActiveFieldPath() != FieldPath::kPlain) {
        return WidenSixSimd128;
    }
#endif
#if PICTURE_HAS_VECTORS
    switch (ActiveFieldPath()) {
    case FieldPath::kAvx2:
        return WidenSixAvx2;
    case FieldPath::kSse2:
        return WidenSixSse2;
    case FieldPath::kNeon:
    case FieldPath::kPlain:
        break;
    }
#endif
    return WidenSixPlain;
}

// Cells of any whole width: cell i spans the edges i and i + 1.
void WidenByEdges(const uint32_t* cells, const int* edges, int columns, int width, uint32_t* row) {
    for (int i = 0; i < columns; ++i) {
        const int end = std::min(edges[i + 1], width);
        for (int x = edges[i]; x < end; ++x) {
            row[x] = cells[i];
        }
    }
}

void FillRows(const PictureImage& image, int first, int end, uint32_t pixel) {
    for (int y = first; y < end; ++y) {
        uint32_t* row = image.pixels + static_cast<size_t>(y) * image.stride;
        std::fill(row, row + image.width, pixel);
    }
}

// Fills the rows that the last frame did not already leave clear.
void ClearRows(const PictureImage& image, int first, int end, uint32_t pixel) {
    const ImageMargins& p = image.margins;
    const int clearAbove = p.known ? p.clearAbove : 0;
    const int clearBelow = p.known ? p.clearBelow : image.height;
    FillRows(image, std::max(first, clearAbove), std::min(end, clearBelow), pixel);
}

// The part of the rectangle drawn over that lies in rows [first, end).
void ClearDrawnOver(const PictureImage& image, int first, int end, uint32_t pixel) {
    const ImageMargins& p = image.margins;
    const int left = std::max(p.overLeft, 0);
    const int right = std::min(p.overRight, image.width);
    for (int y = std::max(first, p.overTop); y < std::min(end, p.overBottom) && left < right; ++y) {
        uint32_t* row = image.pixels + static_cast<size_t>(y) * image.stride;
        std::fill(row + left, row + right, pixel);
    }
}

} // namespace

bool LayoutFromMasks(uint32_t red, uint32_t green, uint32_t blue, uint32_t alphaMask,
                     TexelLayout* layout) {
    int shifts[3];
    const uint32_t masks[3] = {red, green, blue};
    for (int c = 0; c < 3; ++c) {
        shifts[c] = -1;
        for (int shift = 0; shift <= 24; shift += 8) {
            shifts[c] = masks[c] == 0xFFu << shift ? shift : shifts[c];
        }
        if (shifts[c] < 0) {
            return false;
        }
    }
    if ((red | green | blue) != (red ^ green ^ blue) || (alphaMask & (red | green | blue)) != 0) {
        return false;
    }
    *layout = TexelLayout{shifts[0], shifts[1], shifts[2], alphaMask};
    return true;
}

uint32_t ClearPixel(const SceneParams& s, const TexelLayout& layout) {
    return uint32_t{GLColourByte(static_cast<float>(s.clearRed))} << layout.redShift |
           uint32_t{GLColourByte(static_cast<float>(s.clearGreen))} << layout.greenShift |
           uint32_t{GLColourByte(static_cast<float>(s.clearBlue))} << layout.blueShift |
           layout.clearBits;
}

bool SizePicture(PictureBuffers& p, const ModelState& model) {
    FieldFrame grid{};
    grid.width = model.scene.viewWidth;
    grid.yStart = 0;
    grid.yEnd = model.scene.viewHeight;
    grid.cellSize = model.scene.cellSize;
    int columns = 0;
    int rows = 0;
    CountFieldCells(grid, &columns, &rows);
    try {
        p.cells.resize(std::max(p.cells.size(), static_cast<size_t>(columns) * rows));
        p.columnEdges.resize(std::max(p.columnEdges.size(), static_cast<size_t>(columns) + 1));
        p.rowEdges.resize(std::max(p.rowEdges.size(), static_cast<size_t>(rows) + 1));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return SizeFieldRows(p.fieldRows, columns);
}

void NoteDrawnOver(PictureImage& image, int left, int top, int right, int bottom) {
    ImageMargins& p = image.margins;
    if (!p.known || left >= right || top >= bottom) {
        return; // no frame since: the next one fills everything
    }
    if (p.overLeft >= p.overRight) {
        p.overLeft = left;
        p.overTop = top;
        p.overRight = right;
        p.overBottom = bottom;
        return;
    }
    p.overLeft = std::min(p.overLeft, left);
    p.overTop = std::min(p.overTop, top);
    p.overRight = std::max(p.overRight, right);
    p.overBottom = std::max(p.overBottom, bottom);
}

bool DrawPicture(const ModelState& model, PictureBuffers& buffers, PictureImage& image,
                 const char* readout) {
    if (image.pixels == nullptr || image.width != model.scene.viewWidth ||
        image.height != model.scene.viewHeight || !SizePicture(buffers, model)) {
        return false;
    }
    DrawPictureFrame(model, buffers, image);
    if (readout != nullptr) {
        DrawPictureText(image, readout);
    }
    return true;
}

void ReadPictureRow(const PictureImage& image, int y, unsigned char* rgb) {
    const uint32_t* row = image.pixels + static_cast<size_t>(y) * image.stride;
    const TexelLayout& l = image.layout;
    for (int x = 0; x < image.width; ++x) {
        rgb[3 * x + 0] = static_cast<unsigned char>(row[x] >> l.redShift);
        rgb[3 * x + 1] = static_cast<unsigned char>(row[x] >> l.greenShift);
        rgb[3 * x + 2] = static_cast<unsigned char>(row[x] >> l.blueShift);
    }
}

void DrawPictureFrame(const ModelState& model, PictureBuffers& p, PictureImage& image) {
    ImageMargins& memory = image.margins;
    const int w = image.width;
    const int h = image.height;
    const uint32_t clear = ClearPixel(model.scene, image.layout);
    FieldFrame frame;
    PrepareFieldFrame(model, &frame);
    int columns = 0;
    int rows = 0;
    CountFieldCells(frame, &columns, &rows);
    // The viewport's rows from the top; GL clears everything and draws cells only inside it.
    const BandRows band = BandRowsOf(h, model.scene.letterbox);
    int viewTop = std::clamp(h - band.viewY - band.viewHeight, 0, h);
    int viewEnd = std::clamp(h - band.viewY, viewTop, h);
    if (columns == 0 || rows == 0 || w <= 0) {
        viewTop = viewEnd = h; // no cells: all of it shows the clear colour
    }
    ClearRows(image, 0, viewTop, clear);
    ClearRows(image, viewEnd, h, clear);
    ClearDrawnOver(image, 0, viewTop, clear); // the band's rows are all drawn again
    ClearDrawnOver(image, viewEnd, h, clear);
    memory.known = true;
    memory.overRight = memory.overLeft;
    memory.clearAbove = viewTop;
    memory.clearBelow = viewEnd;
    if (viewTop == viewEnd) {
        return;
    }
    const FieldTexels texels{p.cells.data(), columns, rows, image.layout};
    WalkField(frame, p.fieldRows, nullptr, nullptr, &texels);

    int* const columnEdges = p.columnEdges.data();
    int* const rowEdges = p.rowEdges.data();
    columnEdges[0] = 0;
    for (int i = 0; i < columns; ++i) {
        columnEdges[i + 1] = NextCellEdge(columnEdges[i], frame.cellSize);
    }
    rowEdges[0] = frame.yStart;
    for (int k = 0; k < rows; ++k) {
        rowEdges[k + 1] = NextCellEdge(rowEdges[k], frame.cellSize);
    }
    const RowWidener widen = frame.cellSize == 6.0 ? PickWidener() : nullptr;
    // Cell rows from the bottom of the band upwards; rows [next, viewEnd) are done.
    int next = viewEnd;
    for (int k = 0; k < rows && next > viewTop; ++k) {
        const int end = std::min(next, BandEdgeRow(band, h, rowEdges[k]));
        const int top = std::max(viewTop, BandEdgeRow(band, h, rowEdges[k + 1]));
        FillRows(image, end, next, clear); // a gap below, which GL would leave clear
        if (top < end) {
            // Each pixel row widened from the cells, which stay in the first-level cache.
            const uint32_t* const cells = p.cells.data() + static_cast<size_t>(k) * columns;
            for (int y = top; y < end; ++y) {
                uint32_t* const row = image.pixels + static_cast<size_t>(y) * image.stride;
                if (kCopyWidenedRows && y > top) {
                    std::memcpy(row, row - image.stride, static_cast<size_t>(w) * sizeof *row);
                } else if (widen != nullptr) {
                    widen(cells, w, row);
                } else {
                    WidenByEdges(cells, columnEdges, columns, w, row);
                }
            }
        }
        next = std::min(end, top);
    }
    FillRows(image, viewTop, next, clear);
    FinishStores();
}

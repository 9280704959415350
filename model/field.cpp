// field.cpp -- the interference field of the ripple sources, its colour ramp, the walk over the
// cells and the choice of the path that shades their rows.
#include "model/field.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "model/field_kernel.h"
#include "text/named_choice.h"

namespace {
using RowShader = void (*)(const FieldFrame& frame, int y, const int* edges, int columns,
                           float* rgb, uint32_t* texels, const TexelLayout& layout);
// The CPU's choice, made once for the process.
RowShader g_shadeRow = nullptr; // none until the first walk picks a path
FieldPath g_fieldPath = FieldPath::kPlain;
} // namespace

void PrepareFieldFrame(const ModelState& model, FieldFrame* frame) {
    const SceneParams& s = model.scene;
    const double l = s.letterbox;
    frame->width = s.viewWidth;
    frame->yEnd = static_cast<int>(s.viewHeight * (1.0 - l));
    frame->yStart = static_cast<int>(s.viewHeight * l);
    frame->cellSize = s.cellSize;
    frame->freq = OscSample(model, 8, 1.0, 14.0, 4.0) * s.fieldScale;
    frame->blobCount = s.blobCount;
    for (int k = 0; k < 4 * s.blobCount; ++k) {
        frame->blob[k] = OscSample(model, k + 10, 1.0, 2.0, -1.0);
    }
    frame->invWidth = 1.0 / frame->width;
    frame->rowScale = (1.0 - l) * (1.0 / frame->yEnd) * 0.5;
}

double FieldValue(const FieldFrame& frame, double fx, double fy) {
    double sum = 0.0;
    for (int j = 0; j < frame.blobCount; ++j) {
        const double* b = frame.blob + 4 * j;
        const double dx = fx - b[0];
        const double dy = fy - b[1];
        const double d = std::sqrt(dx * dx + dy * dy);
        sum = sum + std::sin(d * frame.freq * b[2] + b[3]);
    }
    return sum / frame.blobCount * 0.5 + 0.5;
}

CellColor ShadeCell(double v) {
    CellColor c;
    double s;
    if (v > 0.5) {
        s = std::sqrt(std::fabs(v - 0.5) * 2.0);
        c.g = s * 0.82;
        c.b = s * 0.78;
    } else {
        s = std::sqrt(std::fabs(0.5 - v) * 2.0);
        c.g = s * 0.78;
        c.b = s * 0.74;
    }
    c.r = (1.0 - s) * 0.4 + s;
    return c;
}

// On x87 the product would stay wider than a float unless stored.
uint8_t GLColourByte(float c) {
    volatile float product = c * 255.0f;
    return static_cast<uint8_t>(std::lrintf(product));
}

void ShadeFieldRow(const FieldFrame& frame, int y, const int* edges, int columns, float* rgb,
                   uint32_t* texels, const TexelLayout& layout) {
    const double fy = y * frame.rowScale;
    for (int i = 0; i < columns; ++i) {
        const double fx = edges[i] * frame.invWidth;
        const CellColor c = ShadeCell(FieldValue(frame, fx, fy));
        const float colour[3] = {static_cast<float>(c.r), static_cast<float>(c.g),
                                 static_cast<float>(c.b)};
        if (rgb != nullptr) {
            rgb[3 * i + 0] = colour[0];
            rgb[3 * i + 1] = colour[1];
            rgb[3 * i + 2] = colour[2];
        }
        if (texels != nullptr) {
            texels[i] = uint32_t{GLColourByte(colour[0])} << layout.redShift |
                        uint32_t{GLColourByte(colour[1])} << layout.greenShift |
                        uint32_t{GLColourByte(colour[2])} << layout.blueShift | layout.opaque;
        }
    }
}

// A step that does not advance ends the walk rather than looping for ever.
int NextCellEdge(int at, double cellSize) {
    return static_cast<int>(at + cellSize);
}

void CountFieldCells(const FieldFrame& frame, int* columns, int* rows) {
    *columns = 0;
    *rows = 0;
    for (int x = 0; x < frame.width; ++*columns) {
        const int next = NextCellEdge(x, frame.cellSize);
        if (next <= x) {
            *columns = 0;
            break;
        }
        x = next;
    }
    for (int y = frame.yStart; y < frame.yEnd; ++*rows) {
        const int next = NextCellEdge(y, frame.cellSize);
        if (next <= y) {
            break;
        }
        y = next;
    }
}

bool SizeFieldRows(FieldRowBuffers& rows, int columns) {
    const size_t n = columns > 0 ? static_cast<size_t>(columns) : 0;
    try {
        if (rows.edges.size() < n + 1) {
            rows.edges.resize(n + 1);
        }
        if (rows.rgb.size() < 3 * n) {
            rows.rgb.resize(3 * n);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void WalkField(const FieldFrame& frame, FieldRowBuffers& buffers, FieldRowSink sink, void* context,
               const FieldTexels* texels) {
    ActiveFieldPath(); // picks the path on first use
    const RowShader shadeRow = g_shadeRow;
    int columns = 0;
    int rows = 0;
    CountFieldCells(frame, &columns, &rows);
    if (columns == 0 || rows == 0) {
        return;
    }
    // Only a caller that walks a view wider than the one sized (a test, a tool) grows them here.
    if (!SizeFieldRows(buffers, columns)) {
        throw std::bad_alloc();
    }
    int* const edges = buffers.edges.data();
    float* const rgb = buffers.rgb.data();
    edges[0] = 0;
    for (int i = 0; i < columns; ++i) {
        edges[i + 1] = NextCellEdge(edges[i], frame.cellSize);
    }
    const bool withTexels = texels != nullptr && columns <= texels->stride;
    int y = frame.yStart;
    for (int k = 0; k < rows; ++k) {
        const int y2 = NextCellEdge(y, frame.cellSize);
        uint32_t* const rowTexels = withTexels && k < texels->rows
                                        ? texels->texels + static_cast<size_t>(k) * texels->stride
                                        : nullptr;
        shadeRow(frame, y, edges, columns, sink != nullptr ? rgb : nullptr, rowTexels,
                 withTexels ? texels->layout : kRgbaTexels);
        if (sink != nullptr) {
            sink(FieldRow{y, y2, columns, edges, rgb}, context);
        }
        y = y2;
    }
}

static const char* const kFieldPathNames[] = {"plain", "sse2", "avx2", "neon"}; // FieldPath's order

// The row shaders this build has, in FieldPath's order: an arm64 build has no x86 kernel to call.
#if defined(__aarch64__)
static const RowShader kRowShaders[] = {ShadeFieldRow, nullptr, nullptr, ShadeFieldRowNeon};
#else
static const RowShader kRowShaders[] = {ShadeFieldRow, ShadeFieldRowSse2, ShadeFieldRowAvx2,
                                        nullptr};
#endif

const char* FieldPathName(FieldPath path) {
    return kFieldPathNames[static_cast<int>(path)];
}

// libgcc's test for AVX2 and FMA also checks that the operating system saves the wide registers.
// WebAssembly's 128-bit vectors run both x86 kernels two doubles at a time (built for them without
// x86 targets); the fused one where the module was built with the relaxed multiply-add. Every
// arm64 CPU has NEON.
bool CpuHasFieldPath(FieldPath path) {
#if defined(__wasm_relaxed_simd__)
    return path != FieldPath::kNeon;
#elif defined(__wasm__)
    return path == FieldPath::kPlain || path == FieldPath::kSse2;
#elif defined(__aarch64__)
    return path == FieldPath::kPlain || path == FieldPath::kNeon;
#else
    __builtin_cpu_init();
    switch (path) {
    case FieldPath::kSse2:
        return __builtin_cpu_supports("sse2");
    case FieldPath::kAvx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    case FieldPath::kNeon:
        return false;
    case FieldPath::kPlain:
        break;
    }
    return true;
#endif
}

FieldPath PickFieldPath(const char* request, bool hasSse2, bool hasAvx2, bool hasNeon) {
    const FieldPath best = hasNeon   ? FieldPath::kNeon
                           : hasAvx2 ? FieldPath::kAvx2
                           : hasSse2 ? FieldPath::kSse2
                                     : FieldPath::kPlain;
    const FieldPath path = static_cast<FieldPath>(
        PickNamedChoice("RIPPLEFIELD_FIELD", request, kFieldPathNames, 4, static_cast<int>(best)));
    if ((path == FieldPath::kSse2 && !hasSse2) || (path == FieldPath::kAvx2 && !hasAvx2) ||
        (path == FieldPath::kNeon && !hasNeon)) {
        PrintLine("RIPPLEFIELD_FIELD " + Quoted(request) + ": this CPU cannot run it, using " +
                  FieldPathName(best));
        return best;
    }
    return path;
}

FieldPath SelectFieldPath(FieldPath path) {
    if (!CpuHasFieldPath(path)) {
        path = PickFieldPath(nullptr, CpuHasFieldPath(FieldPath::kSse2),
                             CpuHasFieldPath(FieldPath::kAvx2), CpuHasFieldPath(FieldPath::kNeon));
    }
    g_shadeRow = kRowShaders[static_cast<int>(path)];
    g_fieldPath = path;
    return path;
}

FieldPath ActiveFieldPath() {
    if (g_shadeRow == nullptr) {
        SelectFieldPath(
            PickFieldPath(std::getenv("RIPPLEFIELD_FIELD"), CpuHasFieldPath(FieldPath::kSse2),
                          CpuHasFieldPath(FieldPath::kAvx2), CpuHasFieldPath(FieldPath::kNeon)));
    }
    return g_fieldPath;
}

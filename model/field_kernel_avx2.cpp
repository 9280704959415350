// field_kernel_avx2.cpp -- the vector field kernel built for AVX2 with FMA: four doubles a vector.
#include "model/field_kernel.h"

#include <cstdint>

// Every function from here on carries the target; the dispatch calls them only on a CPU that has
// it (and an operating system that saves the wide registers).
#pragma GCC push_options
#pragma GCC target("avx2,fma,fpmath=sse")

// In WebAssembly it is the fused kernel on the relaxed multiply-add; a module without that
// instruction never picks it.
#if defined(__wasm__) && !defined(__wasm_relaxed_simd__)
#define FIELD_KERNEL_FMA 0
#else
#define FIELD_KERNEL_FMA 1
#endif
#include "model/field_kernel_body.h"

void ShadeFieldRowAvx2(const FieldFrame& frame, int y, const int* edges, int columns, float* rgb,
                       uint32_t* texels, const TexelLayout& layout) {
    ShadeRowByVectors(frame, y, edges, columns, rgb, texels, layout);
}

void KernelSinAvx2(const double* x, double* out, int n) {
    SinOfEach(x, out, n);
}

#pragma GCC pop_options

// field_kernel_sse2.cpp -- the vector field kernel built for SSE2: two doubles a vector.
#include "model/field_kernel.h"

#include <cstdint>

// Every function from here on carries the target, so only they use SSE; on 32-bit Windows the
// rest of the program stays x87 code and runs on CPUs without SSE2.
#pragma GCC push_options
#pragma GCC target("sse2,fpmath=sse")

#define FIELD_KERNEL_FMA 0
#include "model/field_kernel_body.h"

void ShadeFieldRowSse2(const FieldFrame& frame, int y, const int* edges, int columns, float* rgb,
                       uint32_t* texels, const TexelLayout& layout) {
    ShadeRowByVectors(frame, y, edges, columns, rgb, texels, layout);
}

void KernelSinSse2(const double* x, double* out, int n) {
    SinOfEach(x, out, n);
}

#pragma GCC pop_options

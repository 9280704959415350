// field_kernel_neon.cpp -- the vector field kernel built for arm64's NEON: two doubles a vector,
// fused where the AVX2 kernel fuses, so that both give the same bits.
#include "model/field_kernel.h"

#include <cstdint>

// Every arm64 CPU has NEON and a fused multiply-add: no target to set, no dispatch.
#define FIELD_KERNEL_FMA 1
#include "model/field_kernel_body.h"

void ShadeFieldRowNeon(const FieldFrame& frame, int y, const int* edges, int columns, float* rgb,
                       uint32_t* texels, const TexelLayout& layout) {
    ShadeRowByVectors(frame, y, edges, columns, rgb, texels, layout);
}

void KernelSinNeon(const double* x, double* out, int n) {
    SinOfEach(x, out, n);
}

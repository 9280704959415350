// field_kernel.h -- the vector field kernels: one source built for SSE2 and for AVX2 with FMA on
// x86, and for NEON on arm64.
#pragma once

#include "model/field.h"

// ShadeFieldRow's work, a vector of columns at a time. Call only on a CPU with the features.
void ShadeFieldRowSse2(const FieldFrame& frame, int y, const int* edges, int columns, float* rgb,
                       uint32_t* texels, const TexelLayout& layout);
void ShadeFieldRowAvx2(const FieldFrame& frame, int y, const int* edges, int columns, float* rgb,
                       uint32_t* texels, const TexelLayout& layout);
void ShadeFieldRowNeon(const FieldFrame& frame, int y, const int* edges, int columns, float* rgb,
                       uint32_t* texels, const TexelLayout& layout);

// The kernels' own sine of n values, so that tests can hold it against the C library's.
void KernelSinSse2(const double* x, double* out, int n);
void KernelSinAvx2(const double* x, double* out, int n);
void KernelSinNeon(const double* x, double* out, int n);

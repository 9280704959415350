// field_kernel_body.h -- the one source of the vector field kernel, included once per variant
// (field_kernel_sse2.cpp, field_kernel_avx2.cpp, field_kernel_neon.cpp) under that variant's target
// and with FIELD_KERNEL_FMA set. No include guard: each variant compiles its own copy.
//
// The loops are written so that the compiler vectorises them over the columns of a row. Each cell
// gets the same operations, in the same order, as ShadeFieldRow, except that the sine is the
// kernel's own: a range reduction and a minimax polynomial instead of a library call. Nothing
// here may have external linkage or come from a shared header: the linker could hand a copy built
// for SSE to x87 callers.

namespace {

// Columns per pass: the pass's buffers stay in the first-level cache.
constexpr int kChunk = 256;

// pi as two pieces of 33 significant bits: k times either is exact for |k| below 2^20, so x - k pi
// loses nothing to cancellation. What the pieces leave out of pi (4e-21) moves the result by k
// times that, under 2e-19 for |x| up to 100.
constexpr double kPiA = 0x1.921fb544p+1;
constexpr double kPiB = 0x1.0b4611a6p-33;
constexpr double kInvPi = 0x1.45f306dc9c883p-2;
// Adding and subtracting 1.5 * 2^52 rounds to the nearest integer and leaves that integer in the
// low bits of the sum (for |values| below 2^51).
constexpr double kRoundingShift = 0x1.8p52;

// sin r = r + r^3 (S3 + S5 r^2 + ... + S17 r^14) on [-pi/2, pi/2], minimax in relative error
// (4e-19 before rounding); derived by field_kernel_sin.py.
constexpr double kS3 = -0.16666666666666666;
constexpr double kS5 = 0.00833333333333328;
constexpr double kS7 = -0.00019841269841234385;
constexpr double kS9 = 2.755731921480692e-06;
constexpr double kS11 = -2.5052107167132094e-08;
constexpr double kS13 = 1.6058952933689876e-10;
constexpr double kS15 = -7.64330394830056e-13;
constexpr double kS17 = 2.724196114580309e-15;

#if FIELD_KERNEL_FMA
double MulAdd(double a, double b, double c) {
    return __builtin_fma(a, b, c);
}
#else
double MulAdd(double a, double b, double c) {
    return a * b + c;
}
#endif

// sin x for |x| up to a few thousand; the field's arguments stay within +-50. Always inlined:
// a call inside a loop keeps the loop from being vectorised.
__attribute__((always_inline)) inline double KernelSin(double x) {
    const double shifted = MulAdd(x, kInvPi, kRoundingShift);
    const double k = shifted - kRoundingShift; // x / pi rounded to an integer
    // The products are exact, so fused or not this is the same r, in [-pi/2, pi/2].
    const double r = MulAdd(-k, kPiB, MulAdd(-k, kPiA, x));
    const double z = r * r;
    double p = kS17;
    p = MulAdd(p, z, kS15);
    p = MulAdd(p, z, kS13);
    p = MulAdd(p, z, kS11);
    p = MulAdd(p, z, kS9);
    p = MulAdd(p, z, kS7);
    p = MulAdd(p, z, kS5);
    p = MulAdd(p, z, kS3);
    const double s = MulAdd(r * z, p, r);
    // sin x = (-1)^k sin r: the lowest bit of the shifted sum is k's parity; move it to the sign.
    const uint64_t flip = __builtin_bit_cast(uint64_t, shifted) << 63;
    return __builtin_bit_cast(double, __builtin_bit_cast(uint64_t, s) ^ flip);
}

void SinOfEach(const double* x, double* out, int n) {
    for (int i = 0; i < n; ++i) {
        out[i] = KernelSin(x[i]);
    }
}

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>

// WebAssembly's compiler does not vectorise the ripple loop into the relaxed multiply-add, so there
// it is written out two columns a vector: the same operations, in the same order.
typedef double Doubles __attribute__((vector_size(16)));

inline Doubles Splat(double x) {
    return Doubles{x, x};
}

// Relaxed: fused where the machine has a fused multiply-add, else the plain kernel's bits.
#if FIELD_KERNEL_FMA
inline Doubles VectorMulAdd(Doubles a, Doubles b, Doubles c) {
    return __builtin_wasm_fma_f64x2(a, b, c);
}
#else
inline Doubles VectorMulAdd(Doubles a, Doubles b, Doubles c) {
    return a * b + c;
}
#endif

// KernelSin of two values.
inline Doubles VectorSin(Doubles x) {
    const Doubles shifted = VectorMulAdd(x, Splat(kInvPi), Splat(kRoundingShift));
    const Doubles k = shifted - Splat(kRoundingShift);
    const Doubles r = VectorMulAdd(k, Splat(-kPiB), VectorMulAdd(k, Splat(-kPiA), x)); // exact
    const Doubles z = r * r;
    Doubles p = Splat(kS17);
    p = VectorMulAdd(p, z, Splat(kS15));
    p = VectorMulAdd(p, z, Splat(kS13));
    p = VectorMulAdd(p, z, Splat(kS11));
    p = VectorMulAdd(p, z, Splat(kS9));
    p = VectorMulAdd(p, z, Splat(kS7));
    p = VectorMulAdd(p, z, Splat(kS5));
    p = VectorMulAdd(p, z, Splat(kS3));
    const Doubles s = VectorMulAdd(r * z, p, r);
    const v128_t flip = wasm_i64x2_shl(reinterpret_cast<v128_t>(shifted), 63);
    return reinterpret_cast<Doubles>(wasm_v128_xor(reinterpret_cast<v128_t>(s), flip));
}
#endif

// Adds every blob's ripple to the sums of n columns at field coordinates fx.
void AddRipples(const FieldFrame& frame, const double* dy2, const double* fx, double* sum, int n) {
    const double freq = frame.freq;
    for (int j = 0; j < frame.blobCount; ++j) {
        const double cx = frame.blob[4 * j];
        const double dyy = dy2[j];
        const double multiplier = frame.blob[4 * j + 2];
        const double offset = frame.blob[4 * j + 3];
        int i = 0;
#if defined(__wasm_simd128__)
        for (; i + 2 <= n; i += 2) {
            const Doubles dx = reinterpret_cast<Doubles>(wasm_v128_load(fx + i)) - Splat(cx);
            const Doubles d = reinterpret_cast<Doubles>(
                wasm_f64x2_sqrt(reinterpret_cast<v128_t>(dx * dx + Splat(dyy))));
            const Doubles ripple = VectorSin(d * Splat(freq) * Splat(multiplier) + Splat(offset));
            const Doubles total = reinterpret_cast<Doubles>(wasm_v128_load(sum + i)) + ripple;
            wasm_v128_store(sum + i, reinterpret_cast<v128_t>(total));
        }
#endif
        for (; i < n; ++i) {
            const double dx = fx[i] - cx;
            const double d = __builtin_sqrt(dx * dx + dyy);
            sum[i] = sum[i] + KernelSin(d * freq * multiplier + offset);
        }
    }
}

// c * 255 as a byte, the way GL converts a float colour: the product rounded to a float, then to
// the nearest integer, ties to even. Adding 2^23 to a product in [0, 255] does that last rounding
// and leaves the integer in the low bits.
inline uint32_t ColourByte(float c) {
    const float product = c * 255.0f;
    return __builtin_bit_cast(uint32_t, product + 0x1p23f) & 0xFFu;
}

// ShadeCell over n sums, written as floats when kRgb and as texels of the layout when kTexels.
// |v - 0.5| and |0.5 - v| are the same number, so both branches of the ramp share one square root
// and differ only in their caps. The shifts are the same for every column, so they vectorise.
template <bool kRgb, bool kTexels>
void ShadeSums(const FieldFrame& frame, const double* sum, int n, float* rgb, uint32_t* texels,
               const TexelLayout& layout) {
    const double count = frame.blobCount;
    const int redShift = layout.redShift;
    const int greenShift = layout.greenShift;
    const int blueShift = layout.blueShift;
    const uint32_t opaque = layout.opaque;
    for (int i = 0; i < n; ++i) {
        const double v = sum[i] / count * 0.5 + 0.5;
        const double s = __builtin_sqrt(__builtin_fabs(v - 0.5) * 2.0);
        const bool upper = v > 0.5;
        const float r = static_cast<float>((1.0 - s) * 0.4 + s);
        const float g = static_cast<float>(s * (upper ? 0.82 : 0.78));
        const float b = static_cast<float>(s * (upper ? 0.78 : 0.74));
        if (kRgb) {
            rgb[3 * i + 0] = r;
            rgb[3 * i + 1] = g;
            rgb[3 * i + 2] = b;
        }
        if (kTexels) {
            texels[i] = ColourByte(r) << redShift | ColourByte(g) << greenShift |
                        ColourByte(b) << blueShift | opaque;
        }
    }
}

#if defined(__wasm_simd128__)
// ShadeSums<false, true> four cells a pass. WebAssembly's compiler turns the doubles into floats
// one lane at a time there; these are the same operations in the same order, a vector at a time.
void ShadeTexelsSimd128(const FieldFrame& frame, const double* sum, int n, uint32_t* texels,
                        const TexelLayout& layout) {
    const v128_t count = wasm_f64x2_splat(frame.blobCount);
    const v128_t half = wasm_f64x2_splat(0.5);
    const v128_t two = wasm_f64x2_splat(2.0);
    const v128_t one = wasm_f64x2_splat(1.0);
    const v128_t red = wasm_f64x2_splat(0.4);
    const v128_t upper82 = wasm_f64x2_splat(0.82);
    const v128_t middle78 = wasm_f64x2_splat(0.78); // green below, blue above
    const v128_t lower74 = wasm_f64x2_splat(0.74);
    // Two sums to two doubles of each colour, then four of each as floats.
    struct Pair {
        v128_t r, g, b;
    };
    const auto shade = [&](v128_t sums) {
        const v128_t v = wasm_f64x2_add(wasm_f64x2_mul(wasm_f64x2_div(sums, count), half), half);
        const v128_t s =
            wasm_f64x2_sqrt(wasm_f64x2_mul(wasm_f64x2_abs(wasm_f64x2_sub(v, half)), two));
        const v128_t upper = wasm_f64x2_gt(v, half);
        return Pair{wasm_f64x2_add(wasm_f64x2_mul(wasm_f64x2_sub(one, s), red), s),
                    wasm_f64x2_mul(s, wasm_v128_bitselect(upper82, middle78, upper)),
                    wasm_f64x2_mul(s, wasm_v128_bitselect(middle78, lower74, upper))};
    };
    const auto floats = [](v128_t low, v128_t high) {
        return wasm_i32x4_shuffle(wasm_f32x4_demote_f64x2_zero(low),
                                  wasm_f32x4_demote_f64x2_zero(high), 0, 1, 4, 5);
    };
    const v128_t scale = wasm_f32x4_splat(255.0f);
    const v128_t shift = wasm_f32x4_splat(0x1p23f);
    const v128_t byte = wasm_i32x4_splat(0xFF);
    const auto bytes = [&](v128_t c) {
        return wasm_v128_and(wasm_f32x4_add(wasm_f32x4_mul(c, scale), shift), byte);
    };
    const v128_t opaque = wasm_i32x4_splat(static_cast<int32_t>(layout.opaque));
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const Pair a = shade(wasm_v128_load(sum + i));
        const Pair b = shade(wasm_v128_load(sum + i + 2));
        const v128_t texel = wasm_v128_or(
            wasm_v128_or(wasm_i32x4_shl(bytes(floats(a.r, b.r)), layout.redShift),
                         wasm_i32x4_shl(bytes(floats(a.g, b.g)), layout.greenShift)),
            wasm_v128_or(wasm_i32x4_shl(bytes(floats(a.b, b.b)), layout.blueShift), opaque));
        wasm_v128_store(texels + i, texel);
    }
    ShadeSums<false, true>(frame, sum + i, n - i, nullptr, texels + i, layout);
}
#endif

// The row's vertical distances are formed once; the columns go through in chunks.
void ShadeRowByVectors(const FieldFrame& frame, int y, const int* edges, int columns, float* rgb,
                       uint32_t* texels, const TexelLayout& layout) {
    const double fy = y * frame.rowScale;
    double dy2[kMaxBlobs];
    for (int j = 0; j < frame.blobCount; ++j) {
        const double dy = fy - frame.blob[4 * j + 1];
        dy2[j] = dy * dy;
    }
    for (int first = 0; first < columns; first += kChunk) {
        const int n = columns - first < kChunk ? columns - first : kChunk;
        double fx[kChunk];
        double sum[kChunk];
        for (int i = 0; i < n; ++i) {
            fx[i] = edges[first + i] * frame.invWidth;
            sum[i] = 0.0;
        }
        AddRipples(frame, dy2, fx, sum, n);
        float* const chunkRgb = rgb != nullptr ? rgb + 3 * first : nullptr;
        uint32_t* const chunkTexels = texels != nullptr ? texels + first : nullptr;
        if (rgb != nullptr && texels != nullptr) {
            ShadeSums<true, true>(frame, sum, n, chunkRgb, chunkTexels, layout);
        } else if (rgb != nullptr) {
            ShadeSums<true, false>(frame, sum, n, chunkRgb, nullptr, layout);
        } else if (texels != nullptr) {
#if defined(__wasm_simd128__)
            ShadeTexelsSimd128(frame, sum, n, chunkTexels, layout);
#else
            ShadeSums<false, true>(frame, sum, n, nullptr, chunkTexels, layout);
#endif
        }
    }
}

} // namespace

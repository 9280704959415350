// The vector field kernels: their sine, the choice of path, and whole frames against the plain
// path.
#include "model_fixture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cells.h"
#include "model/field.h"
#include "model/field_kernel.h"

namespace {
#include "reference_data.inc"

struct Kernel {
    FieldPath path;
    void (*sinOfEach)(const double* x, double* out, int n);
};

#if defined(__aarch64__)
const Kernel kKernels[] = {{FieldPath::kNeon, KernelSinNeon}};
#else
const Kernel kKernels[] = {{FieldPath::kSse2, KernelSinSse2}, {FieldPath::kAvx2, KernelSinAvx2}};
#endif

// An even grid over +-100, and the doubles next to every multiple of pi/2 in that range.
std::vector<double> SineArguments() {
    std::vector<double> x;
    const int steps = 400000;
    for (int i = 0; i <= steps; ++i) {
        x.push_back(-100.0 + 200.0 * i / steps + 1e-7 * (i % 13));
    }
    for (int m = -63; m <= 63; ++m) {
        const double centre = m * 1.5707963267948966;
        double below = centre;
        double above = centre;
        x.push_back(centre);
        for (int step = 0; step < 8; ++step) {
            below = std::nextafter(below, -200.0);
            above = std::nextafter(above, 200.0);
            x.push_back(below);
            x.push_back(above);
        }
    }
    return x;
}

std::vector<FieldCell> WalkWith(const ModelState& model, FieldPath path,
                                const FieldTexels* texels = nullptr) {
    EXPECT_EQ(SelectFieldPath(path), path);
    return CollectCells(model, texels);
}

// The byte GL makes of a float colour, from the reference model's thresholds.
uint8_t GLByte(float c) {
    return static_cast<uint8_t>(std::upper_bound(kByteThresholds, kByteThresholds + 255, c) -
                                kByteThresholds);
}

// Leaves the path as it found it: the other tests walk with the path in use.
class FieldKernelTest : public ModelTest {
  protected:
    void SetUp() override {
        ModelTest::SetUp();
        saved_ = ActiveFieldPath();
    }
    void TearDown() override { SelectFieldPath(saved_); }
    FieldPath saved_ = FieldPath::kPlain;
};

} // namespace

TEST_F(FieldKernelTest, SineMatchesTheLibraryOverTheFieldsRange) {
    const std::vector<double> x = SineArguments();
    const int n = static_cast<int>(x.size());
    std::vector<double> negated(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        negated[i] = -x[i];
    }
    for (const Kernel& kernel : kKernels) {
        if (!CpuHasFieldPath(kernel.path)) {
            std::printf("this CPU cannot run %s\n", FieldPathName(kernel.path));
            continue;
        }
        std::vector<double> s(x.size());
        std::vector<double> sNegated(x.size());
        kernel.sinOfEach(x.data(), s.data(), n);
        kernel.sinOfEach(negated.data(), sNegated.data(), n);
        double worst = 0.0;
        double worstAt = 0.0;
        for (int i = 0; i < n; ++i) {
            const double error = std::fabs(s[i] - std::sin(x[i]));
            if (error > worst) {
                worst = error;
                worstAt = x[i];
            }
            ASSERT_EQ(sNegated[i], -s[i])
                << FieldPathName(kernel.path) << " is not odd at " << x[i];
        }
        std::printf("%s: worst error %.3g at %.17g\n", FieldPathName(kernel.path), worst, worstAt);
        EXPECT_LE(worst, 4e-16) << FieldPathName(kernel.path) << " at " << worstAt;
        // Tiny arguments come back unchanged: their sines round to them.
        const double exact[] = {0.0, 1e-300, -3e-200, 1e-9};
        double out[4];
        kernel.sinOfEach(exact, out, 4);
        EXPECT_EQ(out[0], 0.0);
        EXPECT_EQ(out[1], 1e-300);
        EXPECT_EQ(out[2], -3e-200);
        EXPECT_EQ(out[3], 1e-9);
    }
}

// The fused kernels (AVX2 with FMA, NEON) give their sine the same bits on x86-64 and arm64. The
// colours seldom show its last bits, so the bits are held here, by their hash.
TEST_F(FieldKernelTest, FusedSineHasTheSameBitsOnEveryArchitecture) {
#if defined(__aarch64__)
    const Kernel fused = {FieldPath::kNeon, KernelSinNeon};
#else
    const Kernel fused = {FieldPath::kAvx2, KernelSinAvx2};
#endif
    if (!CpuHasFieldPath(fused.path)) {
        GTEST_SKIP() << "this CPU cannot run " << FieldPathName(fused.path);
    }
    const std::vector<double> x = SineArguments();
    std::vector<double> s(x.size());
    fused.sinOfEach(x.data(), s.data(), static_cast<int>(x.size()));
    uint64_t hash = 14695981039346656037u; // FNV-1a over each value's bits
    for (const double v : s) {
        uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        hash = (hash ^ bits) * 1099511628211u;
    }
    EXPECT_EQ(hash, 0x65e151a27125f5a4u) << FieldPathName(fused.path);
}

TEST_F(FieldKernelTest, EveryPathDrawsThePlainPicture) {
    struct View {
        int width, height;
        double letterbox;
    };
    // Wide enough for several passes of columns, narrow enough for a partial vector, letterboxed.
    const View views[] = {{1920, 1080, 0.0}, {1000, 600, 0.07}, {640, 480, 0.15},
                          {333, 77, 0.0311}, {7, 5, 0.0},       {1, 1, 0.0}};
    const uint32_t seeds[] = {1u, 20240605u};
    for (const Kernel& kernel : kKernels) {
        if (!CpuHasFieldPath(kernel.path)) {
            std::printf("this CPU cannot run %s\n", FieldPathName(kernel.path));
            continue;
        }
        long channels = 0;
        long nextFloat = 0;
        for (const uint32_t seed : seeds) {
            SeedRandom(model, seed);
            ResetScene(model);
            for (const View& view : views) {
                model.scene.viewWidth = view.width;
                model.scene.viewHeight = view.height;
                model.scene.letterbox = view.letterbox;
                const std::vector<FieldCell> plain = WalkWith(model, FieldPath::kPlain);
                const std::vector<FieldCell> vector = WalkWith(model, kernel.path);
                ASSERT_FALSE(plain.empty());
                ASSERT_EQ(vector.size(), plain.size()) << view.width << "x" << view.height;
                for (size_t i = 0; i < plain.size(); ++i) {
                    const FieldCell& p = plain[i];
                    const FieldCell& v = vector[i];
                    ASSERT_TRUE(v.x == p.x && v.y == p.y && v.x2 == p.x2 && v.y2 == p.y2)
                        << "cell " << i << " of " << view.width << "x" << view.height;
                    for (int k = 0; k < 3; ++k) {
                        ++channels;
                        if (v.rgb[k] != p.rgb[k]) {
                            ASSERT_TRUE(SameColor(v.rgb[k], p.rgb[k]))
                                << FieldPathName(kernel.path) << " cell " << i << " channel " << k;
                            ++nextFloat;
                        }
                    }
                }
            }
        }
        std::printf("%s: %ld of %ld channels one float step off\n", FieldPathName(kernel.path),
                    nextFloat, channels);
        EXPECT_LT(nextFloat * 100000, channels) << FieldPathName(kernel.path);
    }
}

TEST_F(FieldKernelTest, DispatchPicksAVectorPath) {
    const bool sse2 = CpuHasFieldPath(FieldPath::kSse2);
    const bool avx2 = CpuHasFieldPath(FieldPath::kAvx2);
    const bool neon = CpuHasFieldPath(FieldPath::kNeon);
    const FieldPath picked = PickFieldPath(std::getenv("RIPPLEFIELD_FIELD"), sse2, avx2, neon);
    std::printf("CPU: sse2 %d, avx2+fma %d, neon %d; the dispatch picks %s\n", sse2, avx2, neon,
                FieldPathName(picked));
#if defined(__x86_64__)
    EXPECT_TRUE(sse2); // every 64-bit x86 CPU has it
#endif
#if defined(__aarch64__)
    EXPECT_TRUE(neon && !sse2 && !avx2); // the only kernel an arm64 build has, and it has it
#endif
    if (!sse2 && !neon) {
        GTEST_SKIP() << "a CPU without SSE2 keeps the plain path";
    }
    const FieldPath fastest = neon ? FieldPath::kNeon : avx2 ? FieldPath::kAvx2 : FieldPath::kSse2;
    if (std::getenv("RIPPLEFIELD_FIELD") == nullptr) {
        EXPECT_EQ(picked, fastest);
    }
    // A path this build or CPU lacks gives the fastest it has.
    EXPECT_EQ(SelectFieldPath(neon ? FieldPath::kAvx2 : FieldPath::kNeon), fastest);
    EXPECT_EQ(ActiveFieldPath(), fastest);
    EXPECT_EQ(SelectFieldPath(FieldPath::kPlain), FieldPath::kPlain);
    EXPECT_EQ(ActiveFieldPath(), FieldPath::kPlain);
}

TEST_F(FieldKernelTest, RequestsFallBackToTheFastestPathTheCpuHas) {
    // No request: the fastest path.
    EXPECT_EQ(PickFieldPath(nullptr, false, false), FieldPath::kPlain);
    EXPECT_EQ(PickFieldPath(nullptr, true, false), FieldPath::kSse2);
    EXPECT_EQ(PickFieldPath("", true, true), FieldPath::kAvx2);
    // A path the CPU has.
    EXPECT_EQ(PickFieldPath("plain", true, true), FieldPath::kPlain);
    EXPECT_EQ(PickFieldPath("sse2", true, true), FieldPath::kSse2);
    EXPECT_EQ(PickFieldPath("avx2", true, true), FieldPath::kAvx2);
    EXPECT_EQ(PickFieldPath("AVX2", true, true), FieldPath::kAvx2); // names in any case
    EXPECT_EQ(PickFieldPath(nullptr, false, false, true), FieldPath::kNeon);
    EXPECT_EQ(PickFieldPath("neon", false, false, true), FieldPath::kNeon);
    EXPECT_EQ(PickFieldPath("plain", false, false, true), FieldPath::kPlain);
    // A path it lacks, or an unknown name: the fastest, and one line on stderr that says so.
    const struct {
        const char* request;
        bool sse2, avx2;
        FieldPath expected;
        bool neon = false;
    } fallbacks[] = {{"avx2", true, false, FieldPath::kSse2},
                     {"avx2", false, false, FieldPath::kPlain},
                     {"sse2", false, false, FieldPath::kPlain},
                     {"fast", true, false, FieldPath::kSse2},
                     {"neon", true, true, FieldPath::kAvx2},
                     {"sse2", false, false, FieldPath::kNeon, true},
                     {"avx2", false, false, FieldPath::kNeon, true}};
    for (const auto& f : fallbacks) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(PickFieldPath(f.request, f.sse2, f.avx2, f.neon), f.expected) << f.request;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(f.request), std::string::npos) << said;
        EXPECT_NE(said.find(FieldPathName(f.expected)), std::string::npos) << said;
        EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    }
}

// Each path's colours are the plain ones (but for the rare last bit above), so its bytes must be
// what GL makes of them.
TEST_F(FieldKernelTest, EveryPathWritesTheBytesGLMakesOfItsColours) {
    const struct {
        int width, height;
        double letterbox;
    } views[] = {{3840, 2160, 0.0}, {1920, 1080, 0.07}, {333, 77, 0.0311}, {7, 13, 0.0}};
    for (const FieldPath path :
         {FieldPath::kPlain, FieldPath::kSse2, FieldPath::kAvx2, FieldPath::kNeon}) {
        if (!CpuHasFieldPath(path)) {
            continue;
        }
        long ties = 0; // products halfway above an even byte: rounding half up gives the next
        SeedRandom(model, 99);
        ResetScene(model);
        for (const auto& view : views) {
            model.scene.viewWidth = view.width;
            model.scene.viewHeight = view.height;
            model.scene.letterbox = view.letterbox;
            FieldFrame frame;
            PrepareFieldFrame(model, &frame);
            int columns = 0;
            int rows = 0;
            CountFieldCells(frame, &columns, &rows);
            // Room for one row fewer than the band has: the last must stay untouched.
            std::vector<uint32_t> image(static_cast<size_t>(columns) * rows, 0);
            const FieldTexels texels{image.data(), columns, rows - 1};
            const std::vector<FieldCell> cells = WalkWith(model, path, &texels);
            ASSERT_EQ(cells.size(), image.size());
            for (size_t i = 0; i < cells.size(); ++i) {
                if (i >= static_cast<size_t>(columns) * (rows - 1)) {
                    ASSERT_EQ(image[i], 0u) << "a row beyond the capacity was written";
                    continue;
                }
                uint8_t bytes[4];
                std::memcpy(bytes, &image[i], 4);
                ASSERT_EQ(bytes[3], 255) << i;
                for (int k = 0; k < 3; ++k) {
                    const float c = cells[i].rgb[k];
                    ASSERT_EQ(bytes[k], GLByte(c)) << FieldPathName(path) << " cell " << i;
                    volatile float product = c * 255.0f;
                    const float below = std::floor(product);
                    ties += product - below == 0.5f && std::fmod(below, 2.0f) == 0.0f;
                }
            }
        }
        std::printf("%s: %ld colours halfway above an even byte\n", FieldPathName(path), ties);
        EXPECT_GT(ties, 0) << FieldPathName(path);
    }
}

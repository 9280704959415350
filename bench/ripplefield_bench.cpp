// ripplefield_bench.cpp -- ripplefield-bench: the field's cost per frame on each path
// (Field/<path>/<W>x<H>), whole frames on the headless context for each submission mode
// (Frame/<mode>/<W>x<H>) and whole frames drawn on the processor (Frame/picture/<W>x<H>). The cost
// that counts is processor time: a frame's also takes in the GL driver's own threads (the counter
// process_ms), and neither is inflated by other programs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "model/animation.h"
#include "model/field.h"
#include "model/scene.h"
#include "picture/picture.h"
#include "render/frame.h"
#include "render/gl.h"
#include "render/gl_context.h"

namespace {

struct ViewSize {
    int width;
    int height;
};

constexpr ViewSize kSizes[] = {{1024, 768}, {1920, 1080}, {3840, 2160}};

// The counter's reading of the next frame: 16 ms on, about a display refresh.
int g_milliseconds = 0;
int NextReading() {
    g_milliseconds += 16;
    return g_milliseconds;
}

// A scene as the saver starts it, seeded the same way on every run.
void StartScene(ViewSize size) {
    ResetModelState();
    g_milliseconds = 0;
    SeedRandom(12345);
    g_model.scene.viewWidth = size.width;
    g_model.scene.viewHeight = size.height;
    ResetScene();
}

void TouchRow(const FieldRow& row, void*) {
    benchmark::DoNotOptimize(row.rgb);
}

// The whole window, without letterbox, shaded once per iteration.
void BenchField(benchmark::State& state, FieldPath path, ViewSize size) {
    if (!CpuHasFieldPath(path)) {
        state.SkipWithError("this CPU cannot run the path");
        return;
    }
    SelectFieldPath(path);
    StartScene(size);
    g_model.scene.letterbox = 0.0;
    FieldFrame frame;
    PrepareFieldFrame(&frame);
    for (auto _ : state) {
        WalkField(frame, TouchRow, nullptr);
        benchmark::ClobberMemory();
    }
}

// Model step, field, submission and glFinish, on the fastest field path.
void BenchFrame(benchmark::State& state, SubmitMode mode, ViewSize size) {
    HeadlessView view{size.width, size.height};
    const GLContext context = CreateGLContext(&view);
    if (context.render == nullptr) {
        state.SkipWithError("no headless OpenGL context");
        return;
    }
    SelectFieldPath(FieldPath::kAvx2);
    SelectSubmitMode(mode);
    StartScene(size);
    InitGLState(size.width, size.height);
    // The first frames compile the driver's shaders: not part of a frame's cost.
    for (int i = 0; i < 5; ++i) {
        AdvanceFrame(NextReading());
        DrawFrame();
        glFinish();
    }
    const std::clock_t start = std::clock(); // all threads of the process
    for (auto _ : state) {
        AdvanceFrame(NextReading());
        DrawFrame();
        glFinish();
    }
    const double milliseconds = 1000.0 * (std::clock() - start) / CLOCKS_PER_SEC;
    state.counters["process_ms"] =
        benchmark::Counter(milliseconds, benchmark::Counter::kAvgIterations);
    DestroyGLContext(&view, context.device, context.render);
}

// Model step, field and pixels on one thread, into an image laid out as an X server's 24-bit
// TrueColor, which the display mode's image presenter hands over.
void BenchPicture(benchmark::State& state, ViewSize size) {
    SelectFieldPath(PickFieldPath(nullptr, CpuHasFieldPath(FieldPath::kSse2),
                                  CpuHasFieldPath(FieldPath::kAvx2)));
    StartScene(size);
    std::vector<uint32_t> pixels(static_cast<size_t>(size.width) * size.height);
    const PictureImage image{pixels.data(), size.width, size.height, size.width, {16, 8, 0, 0}};
    if (!SizePicture(size.width, size.height)) {
        state.SkipWithError("out of memory");
        return;
    }
    for (int i = 0; i < 5; ++i) {
        AdvanceFrame(NextReading());
        DrawPictureFrame(image);
    }
    const std::clock_t start = std::clock();
    for (auto _ : state) {
        AdvanceFrame(NextReading());
        DrawPictureFrame(image);
        benchmark::ClobberMemory();
    }
    const double milliseconds = 1000.0 * (std::clock() - start) / CLOCKS_PER_SEC;
    state.counters["process_ms"] =
        benchmark::Counter(milliseconds, benchmark::Counter::kAvgIterations);
}

std::string SizeName(ViewSize size) {
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

} // namespace

int main(int argc, char** argv) {
    for (const FieldPath path : {FieldPath::kPlain, FieldPath::kSse2, FieldPath::kAvx2}) {
        for (const ViewSize size : kSizes) {
            const std::string name =
                std::string("Field/") + FieldPathName(path) + "/" + SizeName(size);
            benchmark::RegisterBenchmark(name.c_str(), BenchField, path, size)
                ->Unit(benchmark::kMillisecond);
        }
    }
    for (const SubmitMode mode :
         {SubmitMode::kImmediate, SubmitMode::kBatched, SubmitMode::kTexture}) {
        for (const ViewSize size : kSizes) {
            const std::string name =
                std::string("Frame/") + SubmitModeName(mode) + "/" + SizeName(size);
            benchmark::RegisterBenchmark(name.c_str(), BenchFrame, mode, size)
                ->Unit(benchmark::kMillisecond);
        }
    }
    for (const ViewSize size : kSizes) {
        const std::string name = "Frame/picture/" + SizeName(size);
        benchmark::RegisterBenchmark(name.c_str(), BenchPicture, size)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

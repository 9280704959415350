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

#include "frames/frame_step.h"
#include "model/field.h"
#include "model/scene.h"
#include "picture/memory_presenter.h"
#include "render/frame.h"
#include "render/gl.h"
#include "render/gl_context.h"
#include "render/gl_presenter.h"

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
    ModelState model{};
    StartScene(model, 12345, size.width, size.height);
    model.scene.letterbox = 0.0;
    FieldFrame frame;
    PrepareFieldFrame(model, &frame);
    FieldRowBuffers rows;
    for (auto _ : state) {
        WalkField(frame, rows, TouchRow, nullptr);
        benchmark::ClobberMemory();
    }
}

// The frame step on a presenter started on surface for a scene as the saver starts it, seeded the
// same way on every run, with the counter stepping 16 ms a frame from 0: five frames first (GL
// compiles its shaders in them), then the timed ones; finish waits for GL's drawing, which its own
// threads do.
void BenchFrames(benchmark::State& state, const Presenter* presenter, void* surface, ViewSize size,
                 void (*finish)()) {
    FrameLoop loop{};
    StartFrameLoop(loop, 12345, size.width, size.height, false);
    g_milliseconds = 0;
    loop.readCounter = NextReading;
    std::string error;
    void* frames = presenter->start(surface, loop.model, &error);
    if (frames == nullptr) {
        state.SkipWithError(error.c_str());
        return;
    }
    AttachPresenter(loop, presenter, frames);
    for (int i = 0; i < 5; ++i) {
        StepFrame(loop);
        finish();
    }
    const std::clock_t start = std::clock(); // all threads of the process
    for (auto _ : state) {
        StepFrame(loop);
        finish();
    }
    const double milliseconds = 1000.0 * (std::clock() - start) / CLOCKS_PER_SEC;
    state.counters["process_ms"] =
        benchmark::Counter(milliseconds, benchmark::Counter::kAvgIterations);
    StopFrameLoop(loop);
}

void FinishGL() {
    glFinish();
}

void FinishPicture() {
    benchmark::ClobberMemory();
}

// Model step, field, submission and glFinish, on the fastest field path.
void BenchFrame(benchmark::State& state, SubmitMode mode, ViewSize size) {
    HeadlessView view{size.width, size.height};
    SelectFieldPath(FieldPath::kAvx2);
    SelectSubmitMode(mode);
    BenchFrames(state, &kGlPresenter, &view, size, FinishGL);
}

// Model step, field and pixels on one thread, into an image laid out as an X server's 24-bit
// TrueColor, which the display mode's image presenter hands over.
void BenchPicture(benchmark::State& state, ViewSize size) {
    SelectFieldPath(PickFieldPath(nullptr, CpuHasFieldPath(FieldPath::kSse2),
                                  CpuHasFieldPath(FieldPath::kAvx2),
                                  CpuHasFieldPath(FieldPath::kNeon)));
    MemoryTarget xrgb = {{16, 8, 0, 0}, 0};
    BenchFrames(state, &kMemoryPresenter, &xrgb, size, FinishPicture);
}

std::string SizeName(ViewSize size) {
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

} // namespace

int main(int argc, char** argv) {
#if defined(__aarch64__)
    const FieldPath paths[] = {FieldPath::kPlain, FieldPath::kNeon};
#else
    const FieldPath paths[] = {FieldPath::kPlain, FieldPath::kSse2, FieldPath::kAvx2};
#endif
    for (const FieldPath path : paths) {
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

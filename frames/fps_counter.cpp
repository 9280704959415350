// fps_counter.cpp -- counting frames and processor time for the readout, and its text.
#include "frames/fps_counter.h"

#include <cstdio>

void StartFpsCounter(FpsCounter* counter, double nowMs, double cpuMs) {
    counter->startMs = nowMs;
    counter->startCpuMs = cpuMs;
    counter->frames = 0;
    counter->fps = -1.0;
    counter->loadPercent = 0.0;
}

void CountFpsFrame(FpsCounter* counter, double nowMs, double cpuMs) {
    ++counter->frames;
    const double elapsed = nowMs - counter->startMs;
    if (elapsed < 1000.0) {
        return;
    }
    counter->fps = counter->frames * 1000.0 / elapsed;
    counter->loadPercent = (cpuMs - counter->startCpuMs) * 100.0 / elapsed;
    counter->startMs = nowMs;
    counter->startCpuMs = cpuMs;
    counter->frames = 0;
}

void FormatFpsReadout(const FpsCounter& counter, char* text, size_t size, const char* presenter) {
    const char* const nameLine = presenter != nullptr ? "\nPresenter: " : "";
    const char* const name = presenter != nullptr ? presenter : "";
    if (counter.fps < 0.0) {
        std::snprintf(text, size, "FPS: --\nLoad: --%%%s%s", nameLine, name);
        return;
    }
    std::snprintf(text, size, "FPS: %.1f\nLoad: %.1f%%%s%s", counter.fps, counter.loadPercent,
                  nameLine, name);
}

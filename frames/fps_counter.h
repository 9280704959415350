// fps_counter.h -- frames per second and processor load over intervals of about a second, and
// the readout's text; the presenters draw that text, each in its own way.
#pragma once

#include <cstddef>

// Times are milliseconds of any steady clock, processor time of the whole process.
struct FpsCounter {
    double startMs; // start of the interval being counted
    double startCpuMs;
    int frames;         // shown so far in this interval
    double fps;         // of the last whole interval; negative before the first
    double loadPercent; // processor time over elapsed time; above 100 when threads share the work
};

void StartFpsCounter(FpsCounter* counter, double nowMs, double cpuMs);
// Counts a frame shown at nowMs; once a second or more has passed, the interval's rate and load
// become the readout and a new interval starts.
void CountFpsFrame(FpsCounter* counter, double nowMs, double cpuMs);
// The readout's lines, e.g. "FPS: 59.9\nLoad: 12.5%"; dashes before the first whole interval.
// A presenter's name adds a line, e.g. "Presenter: image".
void FormatFpsReadout(const FpsCounter& counter, char* text, size_t size,
                      const char* presenter = nullptr);

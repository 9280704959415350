// fps_overlay.h -- a readout of frames per second and processor load over a frame, drawn with
// GL 1.1 bitmaps of the readout's font (picture/font.h).
#pragma once

#include <cstddef>

// Frames and processor time over intervals of about a second; the readout shows the last whole
// interval. Times are milliseconds of any steady clock, processor time of the whole process.
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
// Draws text (lines split at '\n') in the view's lower-left corner, white on a black shadow, and
// leaves the GL state as it found it. Characters without a glyph show as spaces.
void DrawFpsOverlay(const char* text, int width, int height);

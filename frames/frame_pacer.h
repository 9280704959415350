// frame_pacer.h -- keeps frames to the display's refresh rate when the buffer swap does not wait
// for the display, as on a virtual X server or a driver that ignores the swap interval.
#pragma once

// The cadence of one view: frames may be drawn once per period, on average exactly at the
// refresh rate. Times are milliseconds of any steady clock.
struct FramePacer {
    double periodMs;
    double dueMs; // the next frame's ideal time
    bool started;
};

// The refresh period for a rate in Hz as the platform reports it; 0 and 1 mean "the hardware's
// default" and give 60 Hz.
double RefreshPeriodMs(int refreshHz);
void StartFramePacer(FramePacer* pacer, double periodMs);
// Whether a frame may be drawn at nowMs. When it may, the due time moves on by one period. A
// frame up to half a period early is allowed, so that a swap that does wait for the display
// loses no frame to the jitter of when it returns; after a stall the cadence starts afresh.
bool TakeFrameSlot(FramePacer* pacer, double nowMs);
// How long from nowMs until a frame may be drawn; 0 when one may be drawn now.
double MillisecondsToNextFrame(const FramePacer& pacer, double nowMs);

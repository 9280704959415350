// frame_pacer.cpp -- the frame cadence: due times one period apart, re-anchored after a stall.
#include "frames/frame_pacer.h"

double RefreshPeriodMs(int refreshHz) {
    return 1000.0 / (refreshHz > 1 ? refreshHz : 60);
}

void StartFramePacer(FramePacer* pacer, double periodMs) {
    pacer->periodMs = periodMs > 0.0 ? periodMs : RefreshPeriodMs(0);
    pacer->dueMs = 0.0;
    pacer->started = false;
}

static double EarliestFrameMs(const FramePacer& pacer) {
    return pacer.dueMs - 0.5 * pacer.periodMs;
}

bool TakeFrameSlot(FramePacer* pacer, double nowMs) {
    // The due time advances from itself, not from now: frames that come late are made up by
    // frames that come early, so the average is the refresh rate rather than below it. Only when
    // a whole period has been lost (a stall, a slow frame, a clock step) does it start afresh.
    if (!pacer->started || nowMs > pacer->dueMs + pacer->periodMs ||
        nowMs < pacer->dueMs - 2.0 * pacer->periodMs) {
        pacer->dueMs = nowMs;
        pacer->started = true;
    }
    if (nowMs < EarliestFrameMs(*pacer)) {
        return false;
    }
    pacer->dueMs += pacer->periodMs;
    return true;
}

double MillisecondsToNextFrame(const FramePacer& pacer, double nowMs) {
    if (!pacer.started) {
        return 0.0;
    }
    const double wait = EarliestFrameMs(pacer) - nowMs;
    return wait > 0.0 ? wait : 0.0;
}

// frame_step.h -- what happens when a frame is due, the same for every front end: the counter's
// reading, the model's step, the presenter's drawing, the readout's count, the presenting.
#pragma once

#include "frames/fps_counter.h"
#include "frames/presenter.h"

// The process-wide record of the frame loop.
struct FrameLoop {
    const Presenter* presenter;
    // The counter the model advances to: ReadElapsedMilliseconds, unless frozen or under test.
    int (*readCounter)();
    bool showFps;
    FpsCounter fps;
};

extern FrameLoop g_frameLoop;

// Frames go to this presenter from now on, with the readout when showFps.
void StartFrameLoop(const Presenter* presenter, bool showFps);
// Every later frame reads the counter as milliseconds (RIPPLEFIELD_FREEZE, the still renderer).
void FreezeFrameCounter(int milliseconds);
// One due frame: read the counter, AdvanceFrame, draw (with the readout), count it, present.
// False when the view is not drawn: the model still moved on, nothing was shown.
bool StepFrame();

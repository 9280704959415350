// frame_step.cpp -- one due frame, the same for every front end and presenter.
#include "frames/frame_step.h"

#include "frames/elapsed.h"
#include "model/animation.h"

namespace {
int g_frozenMilliseconds = 0;
int ReadFrozenCounter() {
    return g_frozenMilliseconds;
}
} // namespace

FrameLoop g_frameLoop = {nullptr, ReadElapsedMilliseconds, false, {}};

void StartFrameLoop(const Presenter* presenter, bool showFps) {
    g_frameLoop.presenter = presenter;
    g_frameLoop.showFps = showFps;
    StartFpsCounter(&g_frameLoop.fps, ReadSteadyMilliseconds(), ReadProcessCpuMilliseconds());
}

void FreezeFrameCounter(int milliseconds) {
    g_frozenMilliseconds = milliseconds;
    g_frameLoop.readCounter = ReadFrozenCounter;
}

// The readout shows the last whole interval, so its text is made before this frame is counted.
bool StepFrame() {
    FrameLoop& loop = g_frameLoop;
    AdvanceFrame(loop.readCounter());
    char readout[96];
    if (loop.showFps) {
        FormatFpsReadout(loop.fps, readout, sizeof readout, loop.presenter->name);
    }
    if (!loop.presenter->draw(loop.showFps ? readout : nullptr)) {
        return false; // time runs on; nothing is shown, readout included
    }
    if (loop.showFps) {
        CountFpsFrame(&loop.fps, ReadSteadyMilliseconds(), ReadProcessCpuMilliseconds());
    }
    loop.presenter->present();
    return true;
}

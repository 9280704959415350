// frame_step.cpp -- one view's frames, the same for every front end and presenter.
#include "frames/frame_step.h"

#include "frames/elapsed.h"
#include "model/animation.h"

void StartFrameLoop(FrameLoop& loop, uint32_t seed, int width, int height, bool showFps) {
    loop.model = ModelState{}; // a new view's clock starts at zero too
    StartScene(loop.model, seed, width, height);
    if (loop.readCounter == nullptr) {
        loop.readCounter = ReadElapsedMilliseconds;
    }
    loop.frozen = false;
    loop.showFps = showFps;
    StartFpsCounter(&loop.fps, ReadSteadyMilliseconds(), ReadProcessCpuMilliseconds());
}

void AttachPresenter(FrameLoop& loop, const Presenter* presenter, void* frames) {
    loop.presenter = presenter;
    loop.frames = frames;
}

void ResizeFrames(FrameLoop& loop, int width, int height) {
    loop.model.scene.viewWidth = width;
    loop.model.scene.viewHeight = height;
    if (loop.presenter != nullptr) {
        loop.presenter->resize(loop.frames, loop.model);
    }
}

void FreezeFrameCounter(FrameLoop& loop, int milliseconds) {
    loop.frozen = true;
    loop.frozenMilliseconds = milliseconds;
}

// The readout shows the last whole interval, so its text is made before this frame is counted.
bool StepFrame(FrameLoop& loop) {
    AdvanceFrame(loop.model, loop.frozen ? loop.frozenMilliseconds : loop.readCounter());
    char readout[96];
    if (loop.showFps) {
        FormatFpsReadout(loop.fps, readout, sizeof readout,
                         PresentChoiceName(loop.presenter->kind));
    }
    if (!loop.presenter->draw(loop.frames, loop.model, loop.showFps ? readout : nullptr)) {
        return false; // time runs on; nothing is shown, readout included
    }
    if (loop.showFps) {
        CountFpsFrame(&loop.fps, ReadSteadyMilliseconds(), ReadProcessCpuMilliseconds());
    }
    loop.presenter->present(loop.frames);
    return true;
}

bool ViewIsDrawn(const FrameLoop& loop) {
    return loop.presenter != nullptr &&
           (loop.presenter->drawsView == nullptr || loop.presenter->drawsView(loop.frames));
}

void StopFrameLoop(FrameLoop& loop) {
    if (loop.presenter != nullptr) {
        loop.presenter->stop(loop.frames);
    }
    loop.presenter = nullptr;
    loop.frames = nullptr;
}

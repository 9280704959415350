// frame_step.h -- one view's frames, the same for every front end: the scene started first, the
// presenter told of every size, and for each due frame the counter's reading, the model's step,
// the presenter's drawing, the readout's count and the presenting.
#pragma once

#include "frames/fps_counter.h"
#include "frames/presenter.h"
#include "model/scene.h"

#include <cstdint>

// One view: its model, its counter, its readout and its presenter's instance. Each view holds its
// own, so nothing of one view's frames reaches another's.
struct FrameLoop {
    ModelState model;
    const Presenter* presenter; // null until one is attached
    void* frames;               // the presenter's instance
    // The counter the model advances to: ReadElapsedMilliseconds unless replaced (tests, the
    // benchmark); a frozen loop reads frozenMilliseconds instead.
    int (*readCounter)();
    bool frozen;
    int frozenMilliseconds;
    bool showFps;
    FpsCounter fps;
};

// Starts the loop's scene from that seed at that view size, with the readout when showFps; frames
// read the elapsed-time counter unless the loop was given a counter of its own. Presenters come
// after: they size for the scene's view.
void StartFrameLoop(FrameLoop& loop, uint32_t seed, int width, int height, bool showFps);
// Frames go to that started instance of presenter from now on.
void AttachPresenter(FrameLoop& loop, const Presenter* presenter, void* frames);
// The view has a new size: the model's view first, then the presenter's buffers.
void ResizeFrames(FrameLoop& loop, int width, int height);
// Every later frame reads the counter as milliseconds (RIPPLEFIELD_FREEZE, the still renderer).
void FreezeFrameCounter(FrameLoop& loop, int milliseconds);
// One due frame: read the counter, AdvanceFrame, draw (with the readout), count it, present.
// False when the view is not drawn: the model still moved on, nothing was shown.
bool StepFrame(FrameLoop& loop);
// Whether the loop's presenter draws the view at its size (a presenter that does not say does).
bool ViewIsDrawn(const FrameLoop& loop);
// Releases the presenter's instance; the model stays as the last frame left it.
void StopFrameLoop(FrameLoop& loop);

// animation.h -- the frame clock and the per-frame oscillator step.
#pragma once

#include "model/scene.h"

// Updates the frame clock from a reading of the elapsed-time counter, in milliseconds.
void TickClock(ModelState& model, int milliseconds);
// Advances every live oscillator by the clock's dt: chase toggles, target changes, rate, phase.
void StepOscillators(ModelState& model);
// One frame's step of the model at a reading of the counter: TickClock, StepOscillators, then the
// letterbox from oscillator 7. The one place the model moves: the frame step (frames/) calls it
// for every front end.
void AdvanceFrame(ModelState& model, int milliseconds);

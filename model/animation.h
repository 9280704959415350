// animation.h -- the frame clock and the per-frame oscillator step.
#pragma once

// Reads the elapsed-time counter and updates the frame clock.
void TickClock();
// Advances every live oscillator by the clock's dt: chase toggles, target changes, rate, phase.
void StepOscillators();
// One frame's step of the model: TickClock, StepOscillators, then the letterbox from oscillator 7.
void AdvanceFrame();

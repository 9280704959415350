// run_settings.h -- the settings every front end reads from its environment in the same words:
// which presenter shows the frames (RIPPLEFIELD_PRESENT) and a frozen scene (RIPPLEFIELD_FREEZE).
#pragma once

#include "frames/presenter.h"

#include <cstdint>
#include <string>

// What the environment asks of a run.
struct RunSettings {
    PresentChoice present; // auto where RIPPLEFIELD_PRESENT is unset or names none of the choices
    uint32_t seed;         // the frozen scene's, else the running seed the front end gave
    bool frozen;           // RIPPLEFIELD_FREEZE was read: every frame reads frozenMilliseconds
    int32_t frozenMilliseconds;
    bool badFreeze;      // RIPPLEFIELD_FREEZE is set but is not SEED,MILLISECONDS
    std::string problem; // one line about the values that could not be taken; empty when none
};

// Reads RIPPLEFIELD_PRESENT and RIPPLEFIELD_FREEZE. A front end decides what a bad value costs:
// the display modes refuse a bad freeze, the Windows saver runs on.
RunSettings ReadRunSettings(uint32_t runningSeed);
// The choice that a value of RIPPLEFIELD_PRESENT names ("gl", "image" or "auto"); none, or a name
// that is none of these, gives auto, and the second also a line in problem.
PresentChoice PickPresentChoice(const char* request, std::string* problem = nullptr);
// RIPPLEFIELD_FREEZE's value "SEED,MILLISECONDS": a seed of 0 to 4294967295 and a clock reading
// of -2147483648 to 2147483647, both decimal; false when the text is not that.
bool ParseFreeze(const char* text, uint32_t* seed, int32_t* milliseconds);

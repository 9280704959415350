// animation.cpp -- frame clock and oscillator animation.
#include "model/animation.h"

#include "model/scene.h"

void TickClock() {
    FrameClock& c = g_model.clock;
    c.prevTime = c.time;
    const int milliseconds = g_model.readMilliseconds();
    c.time = milliseconds * 0.001;
    c.dt = c.time - c.prevTime;
}

// The draw order is part of the picture: two draws per oscillator, two more on a target change.
// A negative dt (a wrapped counter) fails every test and runs the phases backwards, as it always
// has.
void StepOscillators() {
    const SceneParams& s = g_model.scene;
    OscillatorBank& bank = g_model.bank;
    const double dt = g_model.clock.dt;
    for (int i = 0; i < s.oscillatorCount; ++i) {
        if (0.1 * dt > RandUniform(1.0f)) {
            bank.chase[i] = !bank.chase[i];
        }
        if (0.1 * dt > RandUniform(1.0f)) {
            const double m = RandUniform(0.02f) + 0.02;
            const double sign = RandUniform(1.0f);
            bank.target[i] = sign < 0.45 ? m : -m;
        }
        if (bank.chase[i]) {
            bank.rate[i] = bank.rate[i] + (bank.target[i] - bank.rate[i]) * 0.001;
        } else {
            bank.rate[i] = bank.rate[i] * 0.999;
        }
        if (i == 0) {
            bank.phase[0] += 0.001 * dt;
        } else if (i <= 3) {
            bank.phase[i] += s.gainA * bank.rate[i] * dt * 57.3;
        } else if (i <= 6) {
            bank.phase[i] += s.gainB * bank.rate[i] * dt;
        } else {
            bank.phase[i] += s.tailGain * bank.rate[i] * dt;
        }
    }
}

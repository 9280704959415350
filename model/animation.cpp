// animation.cpp -- frame clock and oscillator animation.
#include "model/animation.h"

#include "model/scene.h"

#include <cmath>
#include <cstdint>

// The counter is 32 bits wide and wraps after 24.8 days, so the step is the readings' difference
// modulo 2^32 (a backwards step stays negative). Where that is their plain difference, dt is
// time - prevTime, which can differ from it in the last bit: frames keep the values that recorded
// states and stills were made with.
void TickClock(ModelState& model, int milliseconds) {
    FrameClock& c = model.clock;
    c.prevTime = c.time;
    c.time = milliseconds * 0.001;
    c.dt = c.time - c.prevTime;
    const int64_t plain = int64_t{milliseconds} - model.lastMilliseconds;
    const int32_t wrapped = static_cast<int32_t>(static_cast<uint32_t>(milliseconds) -
                                                 static_cast<uint32_t>(model.lastMilliseconds));
    if (wrapped != plain) {
        c.dt = wrapped * 0.001;
    }
    model.lastMilliseconds = milliseconds;
}

// The draw order is part of the picture: two draws per oscillator, two more on a target change.
// A negative dt (a counter that stepped back) fails every test and runs the phases backwards
// rather than being clamped: ripplefield-render takes its readings in any order, and its frames
// and states must be those that the same readings give in the saver.
void StepOscillators(ModelState& model) {
    const SceneParams& s = model.scene;
    OscillatorBank& bank = model.bank;
    const double dt = model.clock.dt;
    for (int i = 0; i < s.oscillatorCount; ++i) {
        if (0.1 * dt > RandUniform(model, 1.0f)) {
            bank.chase[i] = !bank.chase[i];
        }
        if (0.1 * dt > RandUniform(model, 1.0f)) {
            const double m = RandUniform(model, 0.02f) + 0.02;
            const double sign = RandUniform(model, 1.0f);
            // 0.45, not 0.5: targets lean negative, so phases drift on the whole rather than hover.
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
            // 57.3, not 180 / pi: no picture reads these phases, but saved states hold them.
            bank.phase[i] += s.gainA * bank.rate[i] * dt * 57.3;
        } else if (i <= 6) {
            bank.phase[i] += s.gainB * bank.rate[i] * dt;
        } else {
            bank.phase[i] += s.tailGain * bank.rate[i] * dt;
        }
    }
}

// The band's margins swing between 0 and 15 % of the height.
void AdvanceFrame(ModelState& model, int milliseconds) {
    TickClock(model, milliseconds);
    StepOscillators(model);
    model.scene.letterbox = (std::sin(2.0 * model.bank.phase[7]) * 0.5 + 0.5) * 0.15;
}

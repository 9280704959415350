// scene.cpp -- scene defaults, oscillator bank randomisation and the model's own random source.
#include "model/scene.h"

#include <cmath>

void SeedRandom(ModelState& model, uint32_t seed) {
    model.randomState = seed;
}

// The same sequence on every platform, unlike the C library's rand().
int NextRandom(ModelState& model) {
    model.randomState = model.randomState * 214013u + 2531011u;
    return static_cast<int>((model.randomState >> 16) & 0x7FFFu);
}

double RandUniform(ModelState& model, float x) {
    return NextRandom(model) / 32768.0 * x;
}

double OscSample(const ModelState& model, int i, double a, double b, double c) {
    return (std::sin(a * model.bank.phase[i]) * 0.5 + 0.5) * b + c;
}

void RandomizeOscillators(ModelState& model) {
    OscillatorBank& bank = model.bank;
    for (int i = 0; i < model.scene.oscillatorCount; ++i) {
        bank.phase[i] = RandUniform(model, 3.1415927f);
        bank.target[i] = RandUniform(model, 0.02f) + 0.02;
        bank.rate[i] = bank.target[i];
        bank.chase[i] = 1;
    }
}

void ResetScene(ModelState& model) {
    SceneParams& s = model.scene;
    s.sceneScale = 1.0;
    s.letterbox = 0.15;
    s.clearRed = 0.0;
    s.clearGreen = 0.0;
    s.clearBlue = 0.1;
    s.fogStart = static_cast<float>(0.2 * s.sceneScale);
    s.fogEnd = static_cast<float>(s.sceneScale);
    s.fogColor[0] = 0.0f;
    s.fogColor[1] = 0.0f;
    s.fogColor[2] = 0.1f;
    s.fogColor[3] = 1.0f;
    s.lightingOff = 0;
    s.fogOn = 0;
    s.gainA = 1.0;
    s.gainB = 1.0;
    s.tailGain = 1.0;
    s.fieldScale = 1.0;
    s.cellSize = kCellSize;
    s.blobCount = 7;
    s.oscillatorCount = 45;
    RandomizeOscillators(model);
}

void StartScene(ModelState& model, uint32_t seed, int width, int height) {
    SeedRandom(model, seed);
    model.scene.viewWidth = width;
    model.scene.viewHeight = height;
    ResetScene(model);
}

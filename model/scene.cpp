// scene.cpp -- scene defaults, oscillator bank randomisation and the model's own random source.
#include "model/scene.h"

#include <cmath>

ModelState g_model = {{}, {}, {}, 1u, 0};

void ResetModelState() {
    g_model = ModelState{};
    g_model.randomState = 1u;
}

void SeedRandom(uint32_t seed) {
    g_model.randomState = seed;
}

// The same sequence on every platform, unlike the C library's rand().
int NextRandom() {
    g_model.randomState = g_model.randomState * 214013u + 2531011u;
    return static_cast<int>((g_model.randomState >> 16) & 0x7FFFu);
}

double RandUniform(float x) {
    return NextRandom() / 32768.0 * x;
}

double OscSample(int i, double a, double b, double c) {
    return (std::sin(a * g_model.bank.phase[i]) * 0.5 + 0.5) * b + c;
}

void RandomizeOscillators() {
    OscillatorBank& bank = g_model.bank;
    for (int i = 0; i < g_model.scene.oscillatorCount; ++i) {
        bank.phase[i] = RandUniform(3.1415927f);
        bank.target[i] = RandUniform(0.02f) + 0.02;
        bank.rate[i] = bank.target[i];
        bank.chase[i] = 1;
    }
}

void ResetScene() {
    SceneParams& s = g_model.scene;
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
    RandomizeOscillators();
}

void StartScene(uint32_t seed, int width, int height) {
    SeedRandom(seed);
    g_model.scene.viewWidth = width;
    g_model.scene.viewHeight = height;
    ResetScene();
}

// scene.h -- scene parameters, oscillator bank, frame clock and random source: the model's state.
#pragma once

#include <cstdint>

constexpr int kOscillatorCapacity = 100;
constexpr int kBlobParamCapacity = 50; // four values per blob, so at most 12 blobs
constexpr int kMaxBlobs = 12;
constexpr double kCellSize = 6.0; // a cell's edge in pixels, as every scene starts
// 2^27 pixels: 16000 x 16000 is more, and a 32-bit process could not hold a frame's buffers.
constexpr long long kMaxViewPixels = 1LL << 27;

struct SceneParams {
    int viewWidth;
    int viewHeight;
    double sceneScale;
    double clearRed, clearGreen, clearBlue;
    float fogColor[4];
    float fogStart;
    float fogEnd;
    int fogOn;
    int lightingOff;
    double letterbox; // share of the height hidden at top and at bottom
    double cellSize;
    int blobCount;
    double fieldScale;
    int oscillatorCount;
    double gainA;    // oscillators 1 to 3
    double gainB;    // oscillators 4 to 6
    double tailGain; // oscillators 7 and above
};

struct OscillatorBank {
    double phase[kOscillatorCapacity];
    double rate[kOscillatorCapacity];
    double target[kOscillatorCapacity];
    int chase[kOscillatorCapacity];
};

struct FrameClock {
    double time;
    double prevTime;
    double dt;
};

// One view's model: each view (a window, an output, the page) holds its own, and every function of
// the model takes the one it works on. Value-initialised, it is the state at program start.
struct ModelState {
    SceneParams scene;
    OscillatorBank bank;
    FrameClock clock;
    uint32_t randomState = 1;
    int lastMilliseconds; // the counter's previous reading: the step across a wrap needs both
};

void SeedRandom(ModelState& model, uint32_t seed);
// 15-bit linear congruential generator: 0 to 32767.
int NextRandom(ModelState& model);
// A value in [0, x) in steps of x / 32768.
double RandUniform(ModelState& model, float x);
double OscSample(const ModelState& model, int i, double a, double b, double c);
void RandomizeOscillators(ModelState& model);
void ResetScene(ModelState& model);
// A new scene of that view size from that seed: every front end starts its scene here, before
// anything shows its frames.
void StartScene(ModelState& model, uint32_t seed, int width, int height);

// Random source, oscillator sampling and scene reset.
#include "model_fixture.h"

#include <algorithm>

namespace {
#include "reference_data.inc"
}

using SceneTest = ModelTest;

TEST_F(SceneTest, GeneratorFollowsTheFifteenBitSequenceFromSeedOne) {
    // The well-known start of this generator's sequence.
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected) {
        EXPECT_EQ(NextRandom(model), value);
    }
    SeedRandom(model, 1);
    EXPECT_EQ(NextRandom(model), 41);
}

TEST_F(SceneTest, RandUniformStaysBelowItsBoundAndReachesTheLastStep) {
    SeedRandom(model, 987654321u);
    double smallest = 1.0;
    double largest = 0.0;
    for (int n = 0; n < 400000; ++n) {
        const double u = RandUniform(model, 1.0f);
        smallest = std::min(smallest, u);
        largest = std::max(largest, u);
        ASSERT_LT(u, 1.0);
    }
    EXPECT_EQ(smallest, 0.0);
    EXPECT_EQ(largest, 32767.0 / 32768.0);
    // The bound is a float: steps of x / 32768 in its single-precision value.
    SeedRandom(model, 1);
    EXPECT_EQ(RandUniform(model, 0.02f), 41 / 32768.0 * static_cast<double>(0.02f));
}

TEST_F(SceneTest, OscSampleSpansItsRange) {
    for (double phase : {0.0, 1.0, -2.5, 3.0, 1e6}) {
        model.bank.phase[3] = phase;
        model.bank.phase[8] = phase;
        const double unit = OscSample(model, 3, 1.0, 2.0, -1.0);
        EXPECT_NEAR(unit, std::sin(phase), 1e-15);
        EXPECT_GE(unit, -1.0);
        EXPECT_LE(unit, 1.0);
        const double freq = OscSample(model, 8, 1.0, 14.0, 4.0);
        EXPECT_GE(freq, 4.0);
        EXPECT_LE(freq, 18.0);
    }
    model.bank.phase[8] = 0.78539816339744831; // sin(2 * pi / 4) = 1: the top of the range
    EXPECT_NEAR(OscSample(model, 8, 2.0, 14.0, 4.0), 18.0, 1e-12);
}

TEST_F(SceneTest, ResetSetsEveryDefault) {
    model.scene.viewWidth = 640;
    model.scene.viewHeight = 480;
    model.scene.letterbox = 0.01;
    model.scene.blobCount = 3;
    ResetScene(model);
    const SceneParams& s = model.scene;
    EXPECT_EQ(s.viewWidth, 640); // the view size is not the reset's
    EXPECT_EQ(s.viewHeight, 480);
    EXPECT_EQ(s.sceneScale, 1.0);
    EXPECT_EQ(s.letterbox, 0.15);
    EXPECT_EQ(s.clearRed, 0.0);
    EXPECT_EQ(s.clearGreen, 0.0);
    EXPECT_EQ(s.clearBlue, 0.1);
    EXPECT_EQ(s.fogStart, 0.2f);
    EXPECT_EQ(s.fogEnd, 1.0f);
    EXPECT_EQ(s.fogColor[0], 0.0f);
    EXPECT_EQ(s.fogColor[1], 0.0f);
    EXPECT_EQ(s.fogColor[2], 0.1f);
    EXPECT_EQ(s.fogColor[3], 1.0f);
    EXPECT_EQ(s.fogOn, 0);
    EXPECT_EQ(s.lightingOff, 0);
    EXPECT_EQ(s.cellSize, 6.0);
    EXPECT_EQ(s.blobCount, 7);
    EXPECT_EQ(s.fieldScale, 1.0);
    EXPECT_EQ(s.oscillatorCount, 45);
    EXPECT_EQ(s.gainA, 1.0);
    EXPECT_EQ(s.gainB, 1.0);
    EXPECT_EQ(s.tailGain, 1.0);
}

TEST_F(SceneTest, ResetRandomizesTheLiveOscillatorsOnly) {
    for (int i = 0; i < kOscillatorCapacity; ++i) {
        model.bank.chase[i] = 0;
        model.bank.rate[i] = -5.0;
    }
    ResetScene(model);
    const OscillatorBank& bank = model.bank;
    for (int i = 0; i < 45; ++i) {
        EXPECT_EQ(bank.chase[i], 1) << i;
        EXPECT_EQ(bank.rate[i], bank.target[i]) << i;
        EXPECT_GE(bank.target[i], 0.02) << i;
        EXPECT_LT(bank.target[i], 0.04) << i;
        EXPECT_GE(bank.phase[i], 0.0) << i;
        EXPECT_LT(bank.phase[i], 3.1415927) << i;
        EXPECT_TRUE(Close(bank.phase[i], kResetSeed1Phase[i])) << i;
        EXPECT_TRUE(Close(bank.target[i], kResetSeed1Target[i])) << i;
    }
    for (int i = 45; i < kOscillatorCapacity; ++i) {
        EXPECT_EQ(bank.chase[i], 0) << i;
        EXPECT_EQ(bank.rate[i], -5.0) << i;
    }
    // Two draws per live oscillator.
    EXPECT_EQ(DrawsBetween(1u, model.randomState), 90);
}

TEST_F(SceneTest, ResetAgainDrawsAFreshBank) {
    ResetScene(model);
    const double firstPhase = model.bank.phase[0];
    ResetScene(model);
    EXPECT_NE(model.bank.phase[0], firstPhase);
    EXPECT_EQ(DrawsBetween(1u, model.randomState), 180);
}

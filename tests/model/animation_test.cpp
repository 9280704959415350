// Frame clock and oscillator step.
#include "model_fixture.h"

#include "model/animation.h"
#include "frames/elapsed.h"

namespace {
#include "reference_data.inc"
} // namespace

using AnimationTest = ModelTest;

TEST_F(AnimationTest, ClockTakesSecondsFromTheCounter) {
    TickClock(model, 700);
    EXPECT_TRUE(Close(model.clock.time, 0.7));
    EXPECT_EQ(model.clock.prevTime, 0.0);
    EXPECT_EQ(model.clock.dt, model.clock.time); // the first frame's dt is the first reading
}

// The step between two readings: across the counter's 32-bit wrap it is the time that passed;
// elsewhere it is time - prevTime to the last bit, backwards steps included.
TEST_F(AnimationTest, StepIsTheWrappedDifferenceOfTheReadings) {
    struct Case {
        int from, to;
        double wrappedDt; // 0: the plain difference of the two times
    };
    const Case cases[] = {
        {2147483000, 2147483600, 0.0},
        {2147483600, -2147483096, 0.6}, // 24.8 days: the counter wrapped
        {-2147483000, 2147483000, -1.296},
        {700, -2147483647 - 1, 2147482.948},
        {20733, 20700, 0.0}, // a genuine step backwards
        {0, 2147483647, 0.0},
        {2147483647, 0, 0.0},
        {0, -2147483647 - 1, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
        model = ModelState{};
        ResetScene(model);
        AdvanceFrame(model, c.from);
        const double phase0 = model.bank.phase[0];
        AdvanceFrame(model, c.to);
        EXPECT_EQ(model.clock.prevTime, c.from * 0.001);
        EXPECT_EQ(model.clock.time, c.to * 0.001);
        if (c.wrappedDt == 0.0) {
            EXPECT_EQ(model.clock.dt, c.to * 0.001 - c.from * 0.001);
        } else {
            EXPECT_TRUE(Close(model.clock.dt, c.wrappedDt));
        }
        EXPECT_TRUE(Close(model.bank.phase[0], phase0 + 0.001 * model.clock.dt));
    }
}

// The platform counters wrap as 32-bit values too, without overflowing on the way.
TEST(ElapsedCounter, WrapsAsAThirtyTwoBitCount) {
#ifdef _WIN32
    struct Case {
        int64_t counts, frequency;
        int milliseconds;
    };
    const int64_t day = INT64_C(86400);
    const Case cases[] = {
        {0, 10000000, 0},
        {12345678, 10000000, 1234},
        {2147483 * INT64_C(10000000) + 6470000, 10000000, 2147483647},
        {25 * day * 10000000, 10000000, -2134967296}, // past the wrap
        {26 * day * 3579545 + 3579544, 3579545, -2048566297},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CountsToMilliseconds(c.counts, c.frequency), c.milliseconds) << c.counts;
    }
#else
    struct Case {
        int start, now, milliseconds;
    };
    const Case cases[] = {
        {0, 700, 700},
        {-5, 5, 10},
        {2147483000, -2147483096, 1200},
        {-2147483647 - 1, 2147483647, -1},
        {1000, 999, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MillisecondsBetween(c.start, c.now), c.milliseconds) << c.start << " " << c.now;
    }
#endif
}

TEST_F(AnimationTest, FramesMatchAnIndependentRun) {
    SeedRandom(model, 12345);
    ResetScene(model);
    const int frames = sizeof kRunTicks / sizeof kRunTicks[0];
    for (int f = 0; f < frames; ++f) {
        const uint32_t before = model.randomState;
        AdvanceFrame(model, kRunTicks[f]);
        // Two draws per oscillator, two more per target change.
        EXPECT_EQ(DrawsBetween(before, model.randomState), kRunDraws[f]) << "frame " << f;
        EXPECT_TRUE(Close(model.clock.time, kRunClock[3 * f])) << f;
        EXPECT_TRUE(Close(model.clock.prevTime, kRunClock[3 * f + 1])) << f;
        EXPECT_TRUE(Close(model.clock.dt, kRunClock[3 * f + 2])) << f;
    }
    EXPECT_EQ(model.randomState, kRunRandomState);
    for (int i = 0; i < 45; ++i) {
        EXPECT_TRUE(Close(model.bank.phase[i], kRunPhase[i])) << i;
        EXPECT_TRUE(Close(model.bank.rate[i], kRunRate[i])) << i;
        EXPECT_TRUE(Close(model.bank.target[i], kRunTarget[i])) << i;
        EXPECT_EQ(model.bank.chase[i], kRunChase[i]) << i;
    }
    EXPECT_TRUE(Close(model.scene.letterbox, kRunLetterbox)); // from oscillator 7
}

TEST_F(AnimationTest, ZeroDtMovesRatesButNoPhase) {
    ResetScene(model);
    AdvanceFrame(model, 0); // dt 0
    OscillatorBank before = model.bank;
    for (int i = 0; i < 45; ++i) {
        model.bank.chase[i] = i % 2; // some chasing, some coasting
        before.chase[i] = i % 2;
        model.bank.target[i] = -0.03;
        before.target[i] = -0.03;
    }
    const uint32_t state = model.randomState;
    AdvanceFrame(model, 0);
    EXPECT_EQ(DrawsBetween(state, model.randomState), 90); // no toggle, no target change
    for (int i = 0; i < 45; ++i) {
        EXPECT_EQ(model.bank.chase[i], before.chase[i]) << i;
        EXPECT_EQ(model.bank.target[i], -0.03) << i;
        EXPECT_EQ(model.bank.phase[i], before.phase[i]) << i;
        const double expected = before.chase[i] ? before.rate[i] + (-0.03 - before.rate[i]) * 0.001
                                                : before.rate[i] * 0.999;
        EXPECT_TRUE(Close(model.bank.rate[i], expected)) << i;
    }
}

TEST_F(AnimationTest, LongStallTogglesAndRetargetsEveryOscillator) {
    ResetScene(model);
    const uint32_t state = model.randomState;
    AdvanceFrame(model, 10000); // dt = 10 s: 0.1 * dt = 1 beats every draw
    EXPECT_EQ(DrawsBetween(state, model.randomState), 180);
    int positive = 0;
    for (int i = 0; i < 45; ++i) {
        EXPECT_EQ(model.bank.chase[i], 0) << i;
        const double magnitude = std::fabs(model.bank.target[i]);
        EXPECT_GE(magnitude, 0.02) << i;
        EXPECT_LT(magnitude, 0.04) << i;
        positive += model.bank.target[i] > 0;
    }
    EXPECT_GT(positive, 0);
    EXPECT_LT(positive, 45);
}

TEST_F(AnimationTest, NegativeDtFailsEveryTestAndRunsPhasesBackwards) {
    ResetScene(model);
    AdvanceFrame(model, 5000);
    const OscillatorBank before = model.bank;
    const uint32_t state = model.randomState;
    AdvanceFrame(model, 3000); // the counter went back 2 s
    EXPECT_TRUE(Close(model.clock.dt, -2.0));
    EXPECT_EQ(DrawsBetween(state, model.randomState), 90);
    EXPECT_LT(model.bank.phase[0], before.phase[0]);
    for (int i = 0; i < 45; ++i) {
        EXPECT_EQ(model.bank.chase[i], before.chase[i]) << i;
        EXPECT_EQ(model.bank.target[i], before.target[i]) << i;
        if (i > 0 && model.bank.rate[i] != 0.0) {
            // Each phase moves against the sign of its rate.
            EXPECT_EQ(model.bank.phase[i]<before.phase[i], model.bank.rate[i]> 0) << i;
        }
    }
}

TEST_F(AnimationTest, CoastingRateDecaysGeometricallyAndKeepsItsSign) {
    ResetScene(model);
    model.bank.chase[5] = 0;
    model.bank.rate[5] = -0.04;
    for (int frame = 1; frame <= 3000; ++frame) {
        AdvanceFrame(model, 0); // dt 0 keeps chase as it is
    }
    EXPECT_TRUE(Close(model.bank.rate[5], -0.04 * std::pow(0.999, 3000)));
    EXPECT_LT(model.bank.rate[5], 0.0);
}

TEST_F(AnimationTest, PhaseAdvanceDependsOnTheIndexGroup) {
    ResetScene(model);
    model.scene.gainA = 2.0;
    model.scene.gainB = 3.0;
    model.scene.tailGain = 5.0;
    OscillatorBank& bank = model.bank;
    for (int i = 0; i < 45; ++i) {
        bank.phase[i] = 1.0;
        bank.rate[i] = 0.025; // chasing its own target: the rate stays put
        bank.target[i] = 0.025;
    }
    SeedRandom(model, 1); // the first 90 draws are far above 0.1 * dt
    TickClock(model, 1000);
    TickClock(model, 1002); // dt 2 ms
    StepOscillators(model);
    const double dt = 0.002;
    EXPECT_TRUE(Close(bank.phase[0], 1.0 + 0.001 * dt)); // ignores its rate and gain
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(Close(bank.phase[i], 1.0 + 2.0 * 0.025 * dt * 57.3)) << i;
    }
    for (int i = 4; i <= 6; ++i) {
        EXPECT_TRUE(Close(bank.phase[i], 1.0 + 3.0 * 0.025 * dt)) << i;
    }
    for (int i = 7; i < 45; ++i) {
        EXPECT_TRUE(Close(bank.phase[i], 1.0 + 5.0 * 0.025 * dt)) << i;
    }
    EXPECT_EQ(bank.phase[45], 0.0); // beyond the live count nothing moves
}

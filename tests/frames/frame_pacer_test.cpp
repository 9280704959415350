// The frame cadence against the timer patterns it meets: the average rate is the refresh rate
// whatever the timer's period, a swap that waits for the display loses no frame, and a stall is
// not made up by a burst.
#include <gtest/gtest.h>

#include <vector>

#include "frames/frame_pacer.h"

namespace {

// Frames the pacer lets through for timer messages at the given times.
int CountFrames(double periodMs, const std::vector<double>& ticks) {
    FramePacer pacer;
    StartFramePacer(&pacer, periodMs);
    int frames = 0;
    for (const double t : ticks) {
        frames += TakeFrameSlot(&pacer, t) ? 1 : 0;
    }
    return frames;
}

std::vector<double> EvenTicks(double firstMs, double stepMs, double untilMs) {
    std::vector<double> ticks;
    for (double t = firstMs; t < untilMs; t += stepMs) {
        ticks.push_back(t);
    }
    return ticks;
}

} // namespace

TEST(FramePacer, RefreshPeriodFallsBackTo60Hz) {
    EXPECT_DOUBLE_EQ(RefreshPeriodMs(0), 1000.0 / 60);
    EXPECT_DOUBLE_EQ(RefreshPeriodMs(1), 1000.0 / 60);
    EXPECT_DOUBLE_EQ(RefreshPeriodMs(75), 1000.0 / 75);
}

TEST(FramePacer, AverageIsTheRefreshRateForAnyFasterTimer) {
    const double period = RefreshPeriodMs(60);
    // Ten seconds of a 5 ms timer, a 10 ms one (Wine's shortest) and a 15.625 ms one (the usual
    // Windows tick): all faster than the display, so 600 frames, give or take the first.
    for (const double step : {5.0, 10.0, 15.625, 1.0}) {
        const int frames = CountFrames(period, EvenTicks(0.0, step, 10000.0));
        EXPECT_GE(frames, 599) << "timer every " << step << " ms";
        EXPECT_LE(frames, 601) << "timer every " << step << " ms";
    }
}

TEST(FramePacer, SlowerTimersAndSwapsThatWaitDrawEveryTime) {
    const double period = RefreshPeriodMs(60);
    // Frames slower than the display: each timer message draws.
    const std::vector<double> slow = EvenTicks(3.0, 40.0, 10000.0);
    EXPECT_EQ(CountFrames(period, slow), static_cast<int>(slow.size()));
    // A swap that waits: messages come just after each refresh, some a little early, some late.
    std::vector<double> vsync;
    const double jitter[] = {0.0, 0.9, -1.3, 2.5, -0.4, 3.9, -2.2};
    for (int k = 0; k < 600; ++k) {
        vsync.push_back(100.0 + k * period + jitter[k % 7]);
    }
    EXPECT_EQ(CountFrames(period, vsync), 600);
}

TEST(FramePacer, AStallStartsTheCadenceAfresh) {
    const double period = RefreshPeriodMs(60);
    FramePacer pacer;
    StartFramePacer(&pacer, period);
    double t = 0.0;
    for (; t < 1000.0; t += 5.0) {
        TakeFrameSlot(&pacer, t);
    }
    // A second without messages, then 100 ms of them: no burst to catch up.
    int frames = 0;
    for (t = 2000.0; t < 2100.0; t += 5.0) {
        frames += TakeFrameSlot(&pacer, t) ? 1 : 0;
    }
    EXPECT_GE(frames, 5);
    EXPECT_LE(frames, 7);
    // A clock that steps back is a new start too, not a long wait.
    EXPECT_TRUE(TakeFrameSlot(&pacer, 50.0));
    EXPECT_GT(MillisecondsToNextFrame(pacer, 50.0), 0.0);
    EXPECT_LE(MillisecondsToNextFrame(pacer, 50.0), period);
    EXPECT_EQ(MillisecondsToNextFrame(pacer, 50.0 + period), 0.0);
}

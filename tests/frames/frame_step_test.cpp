// The frame step against a presenter that records its calls: the counter's reading reaches the
// model, a frame not drawn is not presented, and the readout is counted once and drawn by it.
#include <gtest/gtest.h>

#include <string>

#include "frames/frame_step.h"
#include "model/scene.h"

namespace {

std::string g_calls;
bool g_drawn = true;
std::string g_readout;

const Presenter kRecording = {
    "recording",
    nullptr,
    nullptr,
    [](const char* readout) {
        // The model has moved to the counter's reading before the presenter draws.
        g_calls += "draw@" + std::to_string(g_model.clock.time) + " ";
        g_readout = readout != nullptr ? readout : "(none)";
        return g_drawn;
    },
    [] { g_calls += "present "; },
    nullptr,
};

} // namespace

TEST(FrameStep, StepsTheModelThenDrawsThenPresentsAndCountsShownFrames) {
    const struct {
        const char* name;
        bool showFps;
        bool drawn;
        const char* calls;
        const char* readout;
        int counted;
    } cases[] = {
        {"a drawn frame", false, true, "draw@1.250000 present ", "(none)", 0},
        {"with the readout", true, true, "draw@1.250000 present ",
         "FPS: --\nLoad: --%\nPresenter: recording", 1},
        {"a view not drawn", true, false, "draw@1.250000 ",
         "FPS: --\nLoad: --%\nPresenter: recording", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetModelState();
        StartScene(7, 64, 48);
        g_calls.clear();
        g_drawn = c.drawn;
        StartFrameLoop(&kRecording, c.showFps);
        FreezeFrameCounter(1250);
        EXPECT_EQ(StepFrame(), c.drawn);
        EXPECT_EQ(g_calls, c.calls);
        EXPECT_EQ(g_readout, c.readout);
        EXPECT_EQ(g_frameLoop.fps.frames, c.counted);
        EXPECT_DOUBLE_EQ(g_model.clock.dt, 1.25); // time runs on whether or not it was shown
    }
}

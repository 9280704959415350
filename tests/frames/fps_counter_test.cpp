// The readout's counting: whole intervals of at least a second, and the text it makes of them.
#include <gtest/gtest.h>

#include <vector>

#include "frames/fps_counter.h"

TEST(FpsCounter, ReadsWholeIntervalsOfAtLeastASecond) {
    struct Frame {
        double ms, cpuMs;
    };
    struct Case {
        const char* name;
        std::vector<Frame> frames; // the counter starts at 0 ms and 0 ms of processor time
        const char* readout;
    };
    std::vector<Frame> sixty;
    for (int k = 1; k <= 60; ++k) {
        sixty.push_back(Frame{1000.0 * k / 60, 250.0 * k / 60});
    }
    std::vector<Frame> thenThirty = sixty;
    for (int k = 1; k <= 30; ++k) {
        thenThirty.push_back(Frame{1000.0 + 1000.0 * k / 30, 250.0 + 1800.0 * k / 30});
    }
    const Case cases[] = {
        {"no second yet", {{100, 10}, {900, 80}}, "FPS: --\nLoad: --%"},
        {"60 frames in a second", sixty, "FPS: 60.0\nLoad: 25.0%"},
        {"the next second on its own", thenThirty, "FPS: 30.0\nLoad: 180.0%"},
        {"a stall", {{500, 100}, {4000, 2000}}, "FPS: 0.5\nLoad: 50.0%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FpsCounter counter;
        StartFpsCounter(&counter, 0.0, 0.0);
        for (const Frame& f : c.frames) {
            CountFpsFrame(&counter, f.ms, f.cpuMs);
        }
        char text[64];
        FormatFpsReadout(counter, text, sizeof text);
        EXPECT_STREQ(text, c.readout);
    }
}

// The frame step against a presenter that records its calls (the counter's reading reaches the
// model, a frame not drawn is not presented, the readout is counted once and drawn by it), two
// views' loops side by side, and the rule that picks a presenter.
#include <gtest/gtest.h>

#include <string>

#include "cells.h"
#include "frames/frame_step.h"
#include "picture/memory_presenter.h"
#include "still_picture.h"

namespace {

std::string g_calls;
bool g_drawn = true;
std::string g_readout;

const Presenter kRecording = {
    PresentChoice::kImage,
    nullptr,
    [](void*, const ModelState& model) {
        g_calls += "resize@" + std::to_string(model.scene.viewWidth) + " ";
    },
    [](void*, const ModelState& model, const char* readout) {
        // The model has moved to the counter's reading before the presenter draws.
        g_calls += "draw@" + std::to_string(model.clock.time) + " ";
        g_readout = readout != nullptr ? readout : "(none)";
        return g_drawn;
    },
    [](void*) { g_calls += "present "; },
    [](void*) { g_calls += "stop "; },
    nullptr,
    nullptr,
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
        {"a drawn frame", false, true, "resize@80 draw@1.250000 present stop ", "(none)", 0},
        {"with the readout", true, true, "resize@80 draw@1.250000 present stop ",
         "FPS: --\nLoad: --%\nPresenter: image", 1},
        {"a view not drawn", true, false, "resize@80 draw@1.250000 stop ",
         "FPS: --\nLoad: --%\nPresenter: image", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FrameLoop loop{};
        StartFrameLoop(loop, 7, 64, 48, c.showFps);
        g_calls.clear();
        g_drawn = c.drawn;
        AttachPresenter(loop, &kRecording, nullptr);
        ResizeFrames(loop, 80, 48);
        FreezeFrameCounter(loop, 1250);
        EXPECT_EQ(StepFrame(loop), c.drawn);
        StopFrameLoop(loop);
        EXPECT_EQ(g_calls, c.calls);
        EXPECT_EQ(g_readout, c.readout);
        EXPECT_EQ(loop.fps.frames, c.counted);
        EXPECT_EQ(loop.model.scene.viewWidth, 80);   // the model's view first, then the presenter's
        EXPECT_DOUBLE_EQ(loop.model.clock.dt, 1.25); // time runs on whether or not it was shown
    }
}

// Two views of one process, stepped in turn as two outputs are: each frame of each is what the
// still renderer draws for that view alone, and each readout counts its own frames.
TEST(FrameStep, TwoLoopsSideBySideNeverShareModelReadoutOrPixels) {
    struct View {
        int width, height;
        uint32_t seed;
        bool showFps;
        FrameLoop loop;
    } views[] = {{160, 120, 7, true, {}}, {37, 21, 9, false, {}}};
    for (View& v : views) {
        StartFrameLoop(v.loop, v.seed, v.width, v.height, v.showFps);
        std::string error;
        void* frames = kMemoryPresenter.start(nullptr, v.loop.model, &error);
        ASSERT_NE(frames, nullptr) << error;
        AttachPresenter(v.loop, &kMemoryPresenter, frames);
    }
    for (const int ms : {700, 716, 733}) {
        for (View& v : views) {
            FreezeFrameCounter(v.loop, ms + v.width);
            ASSERT_TRUE(StepFrame(v.loop));
        }
    }
    for (View& v : views) {
        const ModelState alone =
            ModelAt(v.width, v.height, v.seed, {700 + v.width, 716 + v.width, 733 + v.width});
        EXPECT_EQ(v.loop.model.randomState, alone.randomState);
        EXPECT_EQ(v.loop.model.scene.letterbox, alone.scene.letterbox);
        EXPECT_EQ(v.loop.fps.frames, v.showFps ? 3 : 0);
        // A view that shows the readout differs from the still only in the readout's pixels.
        const std::vector<uint32_t> still =
            StillPicture(v.width, v.height, v.seed, 733 + v.width, kRgbaTexels);
        const uint32_t* pixels = MemoryPresenterPixels(v.loop.frames);
        ASSERT_NE(pixels, nullptr);
        size_t differing = 0;
        for (size_t i = 0; i < still.size(); ++i) {
            differing += pixels[i] != still[i];
        }
        if (v.showFps) {
            EXPECT_GT(differing, 0u);
            EXPECT_LT(differing, still.size() / 4);
        } else {
            EXPECT_EQ(differing, 0u);
        }
        StopFrameLoop(v.loop);
    }
}

namespace {

// Presenters whose starts the chooser's table sets up: GL in hardware, in software or missing;
// a picture that starts or not; a last resort that always does.
enum class Gl { kMissing, kSoftware, kHardware };
Gl g_gl = Gl::kHardware;
bool g_imageStarts = true;
bool g_probeOpens = true;
std::string g_log;
int g_dummy;

void* StartFake(const char* name, bool starts, void* surface, std::string* error) {
    g_log += std::string(name) + (starts ? "+" : "-") + (surface == &g_dummy ? "" : "@probe") + " ";
    *error = std::string(name) + " cannot start";
    return starts ? &g_dummy : nullptr;
}

Presenter FakePresenter(PresentChoice kind, void* (*start)(void*, const ModelState&, std::string*),
                        bool (*software)(void*)) {
    return Presenter{kind,     start,   nullptr, nullptr, nullptr, [](void*) { g_log += "stop "; },
                     software, nullptr, nullptr};
}

const Presenter kFakeGl = FakePresenter(
    PresentChoice::kGl,
    [](void* surface, const ModelState&, std::string* error) {
        return StartFake("gl", g_gl != Gl::kMissing, surface, error);
    },
    [](void*) { return g_gl == Gl::kSoftware; });
const Presenter kFakeImage = FakePresenter(
    PresentChoice::kImage,
    [](void* surface, const ModelState&, std::string* error) {
        return StartFake("image", g_imageStarts, surface, error);
    },
    nullptr);
const Presenter kFakeLast = FakePresenter(
    PresentChoice::kImage,
    [](void* surface, const ModelState&, std::string* error) {
        return StartFake("last", true, surface, error);
    },
    nullptr);

int g_probe;
void* OpenProbe() {
    g_log += "open ";
    return g_probeOpens ? &g_probe : nullptr;
}
void CloseProbe(void*) {
    g_log += "close ";
}

} // namespace

TEST(FrameStep, TheChooserTakesHardwareGlThePictureThenSoftwareGlThenTheLastResort) {
    const struct {
        PresentChoice choice;
        Gl gl;
        bool imageStarts;
        bool probe;      // the front end asks on a probe of its own (the Windows saver)
        bool lastResort; // and must cover its surface whatever happens
        ChosenPresenter chosen;
        const char* log;
        const char* why;
    } cases[] = {
        // auto, asked on the surface itself: hardware kept, software given up for the picture
        {PresentChoice::kAuto, Gl::kHardware, true, false, false, ChosenPresenter::kGl, "gl+ ", ""},
        {PresentChoice::kAuto, Gl::kSoftware, true, false, false, ChosenPresenter::kImage,
         "gl+ stop image+ ", ""},
        {PresentChoice::kAuto, Gl::kMissing, true, false, false, ChosenPresenter::kImage,
         "gl- image+ ", ""},
        // a visual the picture cannot take still gets software GL; nothing at all, nothing
        {PresentChoice::kAuto, Gl::kSoftware, false, false, false, ChosenPresenter::kGl,
         "gl+ stop image- gl+ ", ""},
        {PresentChoice::kAuto, Gl::kMissing, false, false, false, ChosenPresenter::kNone,
         "gl- image- ", "image cannot start"},
        // auto asked on a probe: released again, then GL on the surface
        {PresentChoice::kAuto, Gl::kHardware, true, true, true, ChosenPresenter::kGl,
         "open gl+@probe stop close gl+ ", ""},
        {PresentChoice::kAuto, Gl::kSoftware, true, true, true, ChosenPresenter::kImage,
         "open gl+@probe stop close image+ ", ""},
        {PresentChoice::kAuto, Gl::kMissing, false, true, true, ChosenPresenter::kLastResort,
         "open gl-@probe close image- last+ ", "image cannot start"},
        // gl: nothing else unless the front end must cover its surface, and then it says why
        {PresentChoice::kGl, Gl::kSoftware, true, false, false, ChosenPresenter::kGl, "gl+ ", ""},
        {PresentChoice::kGl, Gl::kMissing, true, false, false, ChosenPresenter::kNone, "gl- ",
         "gl cannot start"},
        {PresentChoice::kGl, Gl::kMissing, true, true, true, ChosenPresenter::kImage, "gl- image+ ",
         "gl cannot start"},
        // image: never GL
        {PresentChoice::kImage, Gl::kHardware, true, false, false, ChosenPresenter::kImage,
         "image+ ", ""},
        {PresentChoice::kImage, Gl::kHardware, false, false, false, ChosenPresenter::kNone,
         "image- ", "image cannot start"},
        {PresentChoice::kImage, Gl::kHardware, false, true, true, ChosenPresenter::kLastResort,
         "image- last+ ", "image cannot start"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "row " << &c - cases);
        g_gl = c.gl;
        g_imageStarts = c.imageStarts;
        g_log.clear();
        const PresenterOffer offer = {&kFakeGl,
                                      &kFakeImage,
                                      c.lastResort ? &kFakeLast : nullptr,
                                      &g_dummy,
                                      c.probe ? OpenProbe : nullptr,
                                      c.probe ? CloseProbe : nullptr};
        FrameLoop loop{};
        std::string why;
        EXPECT_EQ(StartChosenPresenter(loop, c.choice, offer, &why), c.chosen);
        EXPECT_EQ(g_log, c.log);
        EXPECT_EQ(why, c.why);
        const Presenter* attached = c.chosen == ChosenPresenter::kGl           ? &kFakeGl
                                    : c.chosen == ChosenPresenter::kImage      ? &kFakeImage
                                    : c.chosen == ChosenPresenter::kLastResort ? &kFakeLast
                                                                               : nullptr;
        EXPECT_EQ(loop.presenter, attached);
    }
    // A probe that cannot be had tells nothing: GL it is.
    g_gl = Gl::kSoftware;
    g_probeOpens = false;
    g_log.clear();
    FrameLoop loop{};
    std::string why;
    const PresenterOffer offer = {&kFakeGl, &kFakeImage, &kFakeLast,
                                  &g_dummy, OpenProbe,   CloseProbe};
    EXPECT_EQ(StartChosenPresenter(loop, PresentChoice::kAuto, offer, &why), ChosenPresenter::kGl);
    EXPECT_EQ(g_log, "open gl+ ");
    g_probeOpens = true;
}

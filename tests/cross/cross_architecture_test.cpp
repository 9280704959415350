// cross_architecture_test.cpp -- a cross build's programs (arm64, run by the emulator) against the
// build machine's still renderer: the same files for the same arguments, and the same pixels on
// the screen from the display mode and ripplefield-wayland, frozen.
#include "png_file.h"
#include "sway_support.h"
#include "x_support.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

enum class Shown { kFiles, kDisplayMode, kWayland };

struct Comparison {
    Shown by;
    const char* arguments; // the still renderer's: --size WxH --seed N --ticks ...
    bool fused = true;     // the fused kernels (AVX2 with FMA against NEON), else both plain
};

const Comparison kComparisons[] = {
    {Shown::kFiles, "--size 1x1 --seed 5 --ticks 100"},
    {Shown::kFiles, "--size 7x5 --seed 6 --ticks 700"},
    {Shown::kFiles, "--size 1024x768 --seed 1 --ticks 16,33,50,12000"},
    {Shown::kFiles, "--size 1280x721 --seed 4000000000 --ticks 86400000"},
    {Shown::kFiles, "--size 1024x768 --seed 7 --ticks 2147483000,-2147483000"}, // a counter wrap
    {Shown::kFiles, "--size 3840x2160 --seed 99 --ticks 5000"},
    {Shown::kFiles, "--size 333x77 --seed 65535 --series 120000,40,8 --webp"},
    {Shown::kFiles, "--size 640x480 --seed 3 --ticks 700,9000", false},
    {Shown::kDisplayMode, "--size 320x240 --seed 2027 --ticks 700"},
    {Shown::kWayland, "--size 1280x720 --seed 2027 --ticks 700"},
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CrossArchitectureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/ripplefield-cross-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override {
        Stop();
        fs::remove_all(dir_);
    }
    void Stop() {
        KillProgram(&program_);
        StopSway(&sway_);
        StopXvfb(&server_);
    }

    // One side's still renderer writes the PNG, the cells, the state and the animation that
    // --webp asks for into a folder of its own; what it said on stderr comes back.
    std::string Render(const char* tool, const std::string& side, const Comparison& c) {
        std::vector<std::string> argv = {tool};
        for (const std::string& word : Words(c.arguments)) {
            argv.push_back(word);
            if (word == "--webp") {
                argv.push_back((dir_ / side / "webp").string());
            }
        }
        for (const char* output : {"png", "cells", "state"}) {
            argv.insert(argv.end(), {std::string("--") + output, (dir_ / side / output).string()});
        }
        fs::create_directory(dir_ / side);
        const char* field = !c.fused ? "plain" : side == "host" ? "avx2" : "neon";
        const ProgramRun run =
            RunProgram(argv, ProgramOptions({std::string("RIPPLEFIELD_FIELD=") + field}));
        EXPECT_EQ(run.exitCode, 0) << tool << " " << c.arguments << ": " << run.err;
        return run.err;
    }

    // Polls the front end's screen until it is the build machine's still, pixel for pixel.
    bool Shows(const std::function<std::vector<unsigned char>()>& screen) {
        int width = 0;
        int height = 0;
        const std::vector<unsigned char> still =
            ReadPngRgb((dir_ / "host/png").string(), &width, &height);
        return !still.empty() && WaitUntil([&] { return screen() == still; }, kPatientMs);
    }

    fs::path dir_;
    PrivateXServer server_;
    HeadlessSway sway_;
    RunningProgram program_;
};

} // namespace

TEST_F(CrossArchitectureTest, SameFilesAndPixelsAsTheBuildMachinesStillRenderer) {
    ASSERT_EQ(access(RIPPLEFIELD_HOST_RENDER, X_OK), 0)
        << RIPPLEFIELD_HOST_RENDER << " is missing: build the native preset first";
    int compared = 0;
    for (const Comparison& c : kComparisons) {
        SCOPED_TRACE(c.arguments);
        fs::remove_all(dir_);
        fs::create_directory(dir_);
        // Without AVX2 and FMA the build machine's colours may differ in a last bit.
        if (Render(RIPPLEFIELD_HOST_RENDER, "host", c).find("cannot run") != std::string::npos) {
            std::printf("skipped, the build machine has no AVX2 with FMA: %s\n", c.arguments);
            continue;
        }
        const std::vector<std::string> words = Words(c.arguments);
        const std::string size = words[1];
        const std::vector<std::string> env = {std::string("RIPPLEFIELD_FIELD=") +
                                                  (c.fused ? "neon" : "plain"),
                                              "RIPPLEFIELD_FREEZE=" + words[3] + "," + words[5]};
        if (c.by == Shown::kFiles) {
            EXPECT_EQ(Render(RIPPLEFIELD_RENDER_TOOL, "cross", c), "");
            for (const fs::directory_entry& file : fs::directory_iterator(dir_ / "host")) {
                EXPECT_TRUE(ReadFile(file.path()) ==
                            ReadFile(dir_ / "cross" / file.path().filename()))
                    << file.path().filename() << " differs";
            }
        } else if (c.by == Shown::kDisplayMode) {
            ASSERT_TRUE(StartXvfb({size + "x24"}, &server_));
            std::vector<std::string> set = env;
            set.push_back("DISPLAY=" + server_.display);
            program_ = StartProgram({RIPPLEFIELD_HACK, "--root"}, {set, {"XSCREENSAVER_WINDOW"}});
            Display* display = XOpenDisplay(server_.display.c_str());
            ASSERT_NE(display, nullptr);
            EXPECT_TRUE(Shows([&] {
                const Snapshot s =
                    TakeSnapshot(display, DefaultRootWindow(display), 0, 0, std::stoi(size),
                                 std::stoi(size.substr(size.find('x') + 1)));
                std::vector<unsigned char> rgb;
                for (const Rgb& p : s.pixels) {
                    rgb.insert(rgb.end(), {p.r, p.g, p.b});
                }
                return rgb;
            })) << "the display mode";
            XCloseDisplay(display);
        } else if (geteuid() != 0) {
            std::printf("skipped, sway runs as a system user only for root: %s\n", c.arguments);
            continue;
        } else {
            ASSERT_TRUE(StartSway(&sway_));
            ASSERT_EQ(Swaymsg(sway_, "output HEADLESS-1 mode " + size), 0);
            std::vector<std::string> set = SwayEnvironment(sway_);
            set.insert(set.end(), env.begin(), env.end());
            program_ = StartProgram({RIPPLEFIELD_WAYLAND}, set);
            EXPECT_TRUE(Shows([&] {
                int w = 0;
                int h = 0;
                return CaptureOutput(sway_, "HEADLESS-1", &w, &h);
            })) << "ripplefield-wayland";
        }
        ++compared;
        Stop();
    }
    EXPECT_GT(compared, 0);
}

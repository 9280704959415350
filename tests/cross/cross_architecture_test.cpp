// cross_architecture_test.cpp -- a cross build's programs (arm64, run by the emulator) against the
// build machine's still renderer: the same files for the same arguments, and the same pixels on
// the screen from the display mode and ripplefield-wayland, frozen.
#include "png_file.h"
#include "sway_support.h"
#include "x_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

enum class Shown { kFiles, kDisplayMode, kWayland };

struct Comparison {
    Shown by;
    const char* arguments; // the still renderer's
    bool fused = true;     // the fused kernels (AVX2 with FMA against NEON), else both plain
};

// The display mode and ripplefield-wayland show RIPPLEFIELD_FREEZE=2027,700 at the output's size.
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

const char* const kOutputs[] = {"png", "cells", "state", "webp"};

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
        KillProgram(&program_);
        StopSway(&sway_);
        StopXvfb(&server_);
        fs::remove_all(dir_);
    }

    // The still renderer of one side writes every file the comparison asks for into a folder of
    // its own; what it said on stderr is given back.
    std::string Render(const char* tool, const std::string& side, const Comparison& c,
                       const char* field) {
        fs::create_directory(dir_ / side);
        std::vector<std::string> argv = Words(c.arguments);
        const bool animation = argv.back() == "--webp";
        if (animation) {
            argv.pop_back();
        }
        argv.insert(argv.begin(), tool);
        for (const char* output : kOutputs) {
            if (std::string(output) != "webp" || animation) {
                argv.insert(argv.end(),
                            {"--" + std::string(output), (dir_ / side / output).string()});
            }
        }
        const ProgramRun run =
            RunProgram(argv, ProgramOptions({std::string("RIPPLEFIELD_FIELD=") + field}));
        EXPECT_EQ(run.exitCode, 0) << tool << " " << c.arguments << ": " << run.err;
        return run.err;
    }

    // Polls what the front end shows until it is the build machine's still, pixel for pixel.
    bool Shows(const std::function<std::vector<unsigned char>()>& shot) {
        int width = 0;
        int height = 0;
        const std::vector<unsigned char> still =
            ReadPngRgb((dir_ / "host/png").string(), &width, &height);
        return !still.empty() && WaitUntil([&] { return shot() == still; }, kPatientMs);
    }

    bool DisplayModeShows(int width, int height, const std::vector<std::string>& env) {
        if (!StartXvfb({std::to_string(width) + "x" + std::to_string(height) + "x24"}, &server_)) {
            return false;
        }
        std::vector<std::string> set = env;
        set.push_back("DISPLAY=" + server_.display);
        program_ = StartProgram({RIPPLEFIELD_HACK, "--root"}, {set, {"XSCREENSAVER_WINDOW"}});
        Display* display = XOpenDisplay(server_.display.c_str());
        if (display == nullptr) {
            return false;
        }
        const bool same = Shows([&] {
            const Snapshot s =
                TakeSnapshot(display, DefaultRootWindow(display), 0, 0, width, height);
            std::vector<unsigned char> rgb;
            for (const Rgb& p : s.pixels) {
                rgb.insert(rgb.end(), {p.r, p.g, p.b});
            }
            return rgb;
        });
        XCloseDisplay(display);
        return same;
    }

    bool WaylandShows(int width, int height, const std::vector<std::string>& env) {
        if (!StartSway(&sway_) || Swaymsg(sway_, "output HEADLESS-1 mode " + std::to_string(width) +
                                                     "x" + std::to_string(height)) != 0) {
            return false;
        }
        std::vector<std::string> set = SwayEnvironment(sway_);
        set.insert(set.end(), env.begin(), env.end());
        program_ = StartProgram({RIPPLEFIELD_WAYLAND}, set);
        const std::string shot = (dir_ / "grim.png").string();
        return Shows([&] {
            RunProgram({"grim", "-o", "HEADLESS-1", shot}, ProgramOptions(SwayEnvironment(sway_)));
            int w = 0;
            int h = 0;
            return ReadPngRgb(shot, &w, &h);
        });
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
        // The build machine's fused kernel is AVX2 with FMA; without it, its colours may differ
        // in a last bit, and only the plain path compares.
        const char* hostField = c.fused ? "avx2" : "plain";
        const std::string said = Render(RIPPLEFIELD_HOST_RENDER, "host", c, hostField);
        if (said.find("cannot run") != std::string::npos) {
            std::printf("skipped, the build machine has no AVX2 with FMA: %s\n", c.arguments);
            continue;
        }
        const std::string field = std::string("RIPPLEFIELD_FIELD=") + (c.fused ? "neon" : "plain");
        if (c.by == Shown::kFiles) {
            EXPECT_EQ(Render(RIPPLEFIELD_RENDER_TOOL, "cross", c, c.fused ? "neon" : "plain"), "");
            for (const fs::directory_entry& file : fs::directory_iterator(dir_ / "host")) {
                const fs::path name = file.path().filename();
                EXPECT_TRUE(ReadFile(file.path()) == ReadFile(dir_ / "cross" / name))
                    << name << " differs";
            }
            ++compared;
            continue;
        }
        const std::vector<std::string> words = Words(c.arguments);
        const std::string size = words[1];
        const int width = std::atoi(size.c_str());
        const int height = std::atoi(size.c_str() + size.find('x') + 1);
        const std::vector<std::string> env = {field,
                                              "RIPPLEFIELD_FREEZE=" + words[3] + "," + words[5]};
        if (c.by == Shown::kDisplayMode) {
            EXPECT_TRUE(DisplayModeShows(width, height, env)) << "the display mode";
        } else if (geteuid() != 0) {
            std::printf("skipped, sway runs as a system user only for root: %s\n", c.arguments);
            continue;
        } else {
            EXPECT_TRUE(WaylandShows(width, height, env)) << "ripplefield-wayland";
        }
        ++compared;
        KillProgram(&program_);
        StopSway(&sway_);
        StopXvfb(&server_);
    }
    EXPECT_GT(compared, 0);
}

// render_tool_test.cpp -- runs ripplefield-render as a user would: its refusals of bad input, and
// its cells, state and picture against the model run directly.
#include <gtest/gtest.h>

#include <webp/demux.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cells.h"
#include "model/scene.h"
#include "png_file.h"
#include "programs_posix.h"

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> ReadLines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string Format(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// Reports the first differing line only, so that one slip does not flood the log.
void ExpectSameLines(const std::vector<std::string>& actual, const std::vector<std::string>& want) {
    ASSERT_EQ(actual.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        ASSERT_EQ(actual[i], want[i]) << "line " << i + 1;
    }
}

struct DecodedAnimation {
    WebPAnimInfo info;
    std::vector<std::vector<unsigned char>> rgba; // each frame's whole canvas
    std::vector<int> ends;                        // each frame's end in ms from the start
};

bool DecodeAnimation(const std::string& bytes, DecodedAnimation* animation) {
    WebPData data = {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    if (decoder == nullptr || !WebPAnimDecoderGetInfo(decoder, &animation->info)) {
        WebPAnimDecoderDelete(decoder);
        return false;
    }
    const size_t size =
        4 * static_cast<size_t>(animation->info.canvas_width) * animation->info.canvas_height;
    bool ok = true;
    while (ok && WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t* pixels = nullptr;
        int end = 0;
        ok = WebPAnimDecoderGetNext(decoder, &pixels, &end);
        if (ok) {
            animation->rgba.emplace_back(pixels, pixels + size);
            animation->ends.push_back(end);
        }
    }
    WebPAnimDecoderDelete(decoder);
    return ok;
}

// The tool's run redone on the model alone: the cells and the state lines it should write.
ModelState RunModel(int width, int height, uint32_t seed, const std::vector<int>& ticks,
                    std::vector<std::string>* cells, std::vector<std::string>* state) {
    const ModelState model = ModelAt(width, height, seed, ticks);
    for (const FieldCell& c : CollectCells(model)) {
        cells->push_back(Format("%d %d %d %d %.9g %.9g %.9g", c.x, c.y, c.x2, c.y2, c.rgb[0],
                                c.rgb[1], c.rgb[2]));
    }
    const FrameClock& clock = model.clock;
    state->push_back(Format("%.17g %.17g %.17g %.17g", clock.time, clock.prevTime, clock.dt,
                            model.scene.letterbox));
    for (int i = 0; i < model.scene.oscillatorCount; ++i) {
        state->push_back(Format("%d %.17g %.17g %.17g %d", i, model.bank.phase[i],
                                model.bank.rate[i], model.bank.target[i],
                                model.bank.chase[i] ? 1 : 0));
    }
    return model;
}

class RenderToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/ripplefield-render-test-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const char* name) const { return (dir_ / name).string(); }

    // Its stdout and stderr come back in memory, apart from the directory under test.
    ProgramRun Run(const std::string& arguments, const ProgramOptions& options = {}) const {
        std::vector<std::string> argv = Words(arguments);
        argv.insert(argv.begin(), RIPPLEFIELD_RENDER_TOOL);
        return RunProgram(argv, options);
    }

    // Bad input: exit status 2, one line on stderr (given back), and no file left beside the
    // valid outputs.
    std::string ExpectRefused(const std::string& arguments, int status = 2,
                              const ProgramOptions& options = {}) {
        SCOPED_TRACE(arguments);
        const ProgramRun r =
            Run("--png " + Path("a.png") + " --cells " + Path("a.txt") + " " + arguments, options);
        EXPECT_EQ(r.exitCode, status);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.rfind("ripplefield-render: ", 0), 0u) << r.err;
        EXPECT_TRUE(fs::is_empty(dir_));
        return r.err;
    }

    fs::path dir_;
};

// What the parsing test cannot see: the status, the line cleaned of the user's control characters,
// and no file written.
TEST_F(RenderToolTest, BadArgumentsGetStatusTwoAndOneCleanLine) {
    EXPECT_EQ(ExpectRefused("--seed 1\x1b[2J\x07"),
              "ripplefield-render: bad --seed '1?[2J?': not a number\n");
}

TEST_F(RenderToolTest, RefusesUnwritableOutputsBeforeTouchingAnyFile) {
    ExpectRefused("--cells /nonexistent-ripplefield-dir/a.txt");
    ExpectRefused("--state " + dir_.string());
    std::ofstream(Path("a.png")) << "old";
    const ProgramRun r = Run("--png " + Path("a.png") + " --state /nonexistent-ripplefield-dir/s");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(ReadText(Path("a.png")), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

bool IsPng(const std::string& bytes) {
    return bytes.rfind("\x89PNG\r\n\x1a\n", 0) == 0;
}

// Each kind of path an output may name: what is written through, what is refused (status 2,
// nothing touched), and a closed pipe (status 1, one line). Links stay links throughout.
TEST_F(RenderToolTest, OutputTargetsAreWrittenThroughOrRefused) {
    std::ofstream(Path("old.png")) << "old";
    fs::create_symlink("old.png", Path("link.png"));
    fs::create_symlink("nowhere/x.png", Path("dangling.png"));
    fs::create_directory(Path("dir"));
    fs::create_symlink("dir", Path("dirlink"));
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    const std::string longName(251, 'n'); // with ".png", the longest name ext4 takes
    const std::string tool = RIPPLEFIELD_RENDER_TOOL;
    struct Case {
        std::vector<std::string> command; // "@" stands for the tool and --size 64x48
        int status;
        const char* png; // the file that must hold the PNG afterwards; null: nothing written
    };
    const Case cases[] = {
        {{"@", "--png", Path("old.png")}, 0, "old.png"},
        {{"@", "--png", Path("link.png")}, 0, "old.png"},
        {{"@", "--png", Path(longName.c_str()) + ".png"}, 0, nullptr},
        {{"@", "--png", "/dev/null"}, 0, nullptr},
        {{"@", "--png", Path("fifo")}, 0, "fifo"},
        {{"@", "--png", Path("dangling.png")}, 2, nullptr},
        {{"@", "--png", Path("dirlink")}, 2, nullptr},
        {{"@", "--png", Path("new.png"), "--cells", dir_.string() + "/./new.png"}, 2, nullptr},
        {{"@", "--png", Path("old.png"), "--state", Path("link.png")}, 2, nullptr},
        {{"bash", "-o", "pipefail", "-c", tool + " --cells /dev/stdout | head -c 1 >/dev/null"},
         1,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.back());
        std::ofstream(Path("old.png")) << "old";
        std::vector<std::string> argv = c.command;
        if (argv[0] == "@") {
            argv[0] = tool;
            argv.insert(argv.begin() + 1, {"--size", "64x48"});
        }
        std::string fromFifo;
        std::thread reader([&] {
            if (c.png != nullptr && std::string(c.png) == "fifo") {
                fromFifo = ReadText(Path("fifo"));
            }
        });
        const ProgramRun r = RunProgram(argv);
        reader.join();
        EXPECT_EQ(r.exitCode, c.status) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), c.status == 0 ? 0 : 1) << r.err;
        const std::string png = c.png == nullptr               ? ""
                                : std::string(c.png) == "fifo" ? fromFifo
                                                               : ReadText(Path(c.png));
        EXPECT_EQ(IsPng(png), c.png != nullptr);
        EXPECT_EQ(ReadText(Path("old.png")) == "old", c.png == nullptr || c.png != "old.png"s);
        EXPECT_TRUE(fs::is_symlink(Path("link.png")) && fs::is_symlink(Path("dangling.png")) &&
                    fs::is_symlink(Path("dirlink")) && fs::is_fifo(Path("fifo")));
        for (const fs::directory_entry& e : fs::directory_iterator(dir_)) {
            EXPECT_EQ(e.path().filename().string().rfind(".ripplefield-", 0), std::string::npos)
                << "a temporary was left";
        }
    }
    EXPECT_TRUE(IsPng(ReadText(Path(longName.c_str()) + ".png")));
    EXPECT_FALSE(fs::exists(Path("new.png")));
}

const ProgramOptions kNoEgl = {{"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent-ripplefield.json"}};

TEST_F(RenderToolTest, ReportsAMissingContextWithStatusOne) {
    ExpectRefused("--renderer gl", 1, kNoEgl);
}

// Memory that runs out midway (the frame's is had, the animation's is not) ends the run as any
// failure does. An address-space limit cannot work beside AddressSanitizer's reserved shadow.
TEST_F(RenderToolTest, RunningOutOfMemoryEndsWithStatusOne) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "no address-space limit under AddressSanitizer";
#endif
    ProgramOptions limited;
    limited.addressSpace = 98304 * 1024;
    ExpectRefused("--size 4000x4000 --ticks 700,716 --webp " + Path("a.webp"), 1, limited);
}

// The picture, drawn without any GL, writes every file as GL's frames do, byte for byte.
TEST_F(RenderToolTest, PictureAndGLWriteTheSameFiles) {
    const std::string outputs = " --png " + Path("p.png") + " --cells " + Path("c.txt") +
                                " --state " + Path("s.txt") + " --webp " + Path("a.webp");
    for (const char* arguments : {"--size 7x13 --seed 9 --series 100,997,12",
                                  "--size 641x479 --seed 2027 --series 700,40,24",
                                  "--size 1920x1080 --seed 77 --ticks 5000,6000"}) {
        SCOPED_TRACE(arguments);
        std::string written[2];
        for (const bool gl : {false, true}) {
            const ProgramRun r = Run(arguments + std::string(gl ? " --renderer gl" : "") + outputs,
                                     gl ? ProgramOptions{} : kNoEgl);
            ASSERT_EQ(r.exitCode, 0) << r.err;
            for (const char* name : {"p.png", "c.txt", "s.txt", "a.webp"}) {
                written[gl] += ReadText(Path(name));
            }
        }
        EXPECT_TRUE(written[0] == written[1]);
    }
}

TEST_F(RenderToolTest, HelpPrintsTheUsage) {
    const ProgramRun r = Run("--help");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("--ticks"), std::string::npos);
    EXPECT_EQ(r.err, "");
}

// Ordinary ticks, then the extremes of seed and counter in falling order.
TEST_F(RenderToolTest, CellsAndStateMatchTheModel) {
    struct Case {
        const char* arguments;
        int width, height;
        uint32_t seed;
        std::vector<int> ticks;
    };
    const Case cases[] = {
        {"--size 60x40 --seed 7 --ticks 700,716,733", 60, 40, 7u, {700, 716, 733}},
        {"--size 50x30 --seed 4294967295 --ticks 2147483647,0,-2147483648",
         50,
         30,
         4294967295u,
         {2147483647, 0, -2147483647 - 1}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ProgramRun r = Run(std::string(c.arguments) + " --cells " + Path("c.txt") +
                                 " --state " + Path("s.txt"));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        std::vector<std::string> cells, state;
        RunModel(c.width, c.height, c.seed, c.ticks, &cells, &state);
        ASSERT_GT(cells.size(), 10u);
        ExpectSameLines(ReadLines(Path("c.txt")), cells);
        ExpectSameLines(ReadLines(Path("s.txt")), state);
    }
}

// Each frame of the animation is exactly the still of the same readings, and lasts until the next
// reading; the second case crosses the counter's wrap.
TEST_F(RenderToolTest, AnimationFramesAreTheStillsOfTheirTicks) {
    struct Case {
        const char* arguments;
        std::vector<int> ticks;
        std::vector<int> ends;
    };
    const Case cases[] = {
        {"--size 48x30 --seed 3 --ticks 700,1700,1900,5000",
         {700, 1700, 1900, 5000},
         {1000, 1200, 4300, 7400}},
        {"--size 40x24 --seed 9 --series 2147482000,1000,3",
         {2147482000, 2147483000, -2147483296},
         {1000, 2000, 3000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ProgramRun r = Run(std::string(c.arguments) + " --webp " + Path("a.webp"));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        DecodedAnimation animation;
        ASSERT_TRUE(DecodeAnimation(ReadText(Path("a.webp")), &animation));
        EXPECT_EQ(animation.info.loop_count, 0u); // forever
        ASSERT_EQ(animation.info.frame_count, c.ticks.size());
        ASSERT_EQ(animation.ends, c.ends);
        std::string size = c.arguments;
        size = size.substr(0, size.find(" --ticks")).substr(0, size.find(" --series"));
        std::string ticks;
        for (size_t f = 0; f < c.ticks.size(); ++f) {
            ticks += (f == 0 ? "" : ",") + std::to_string(c.ticks[f]);
            ASSERT_EQ(Run(size + " --ticks " + ticks + " --png " + Path("still.png")).exitCode, 0);
            int w = 0, h = 0;
            const std::vector<unsigned char> still = ReadPngRgb(Path("still.png"), &w, &h);
            ASSERT_EQ(animation.info.canvas_width, static_cast<uint32_t>(w));
            ASSERT_EQ(animation.info.canvas_height, static_cast<uint32_t>(h));
            const std::vector<unsigned char>& frame = animation.rgba[f];
            for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
                ASSERT_EQ(frame[4 * i + 3], 255) << "frame " << f << " pixel " << i;
                for (int k = 0; k < 3; ++k) {
                    ASSERT_EQ(frame[4 * i + k], still[3 * i + k])
                        << "frame " << f << " pixel " << i;
                }
            }
        }
    }
}

// Seed 4 leaves a letterbox fraction near 0.14, so both strips are several rows high. The cells
// written are the model's, and the picture shows them.
TEST_F(RenderToolTest, PngShowsTheStripsAndTheCellColours) {
    const int w = 90;
    const int h = 60;
    const ProgramRun r = Run("--size 90x60 --seed 4 --ticks 700,716 --png " + Path("p.png") +
                             " --cells " + Path("c.txt"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> cells, state;
    const ModelState model = RunModel(w, h, 4, {700, 716}, &cells, &state);
    ExpectSameLines(ReadLines(Path("c.txt")), cells);
    ASSERT_GE(static_cast<int>(model.scene.letterbox * h), 5);
    int width = 0, height = 0;
    const std::vector<unsigned char> rgb = ReadPngRgb(Path("p.png"), &width, &height);
    ASSERT_EQ(width, w);
    ASSERT_EQ(height, h);
    std::vector<unsigned char> rgba; // rows from the bottom, as GL reads them back
    for (int row = h - 1; row >= 0; --row) {
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = &rgb[3 * (static_cast<size_t>(row) * w + x)];
            rgba.insert(rgba.end(), {p[0], p[1], p[2], 255});
        }
    }
    EXPECT_TRUE(FrameMatchesCells(model, rgba, w, h));
}

} // namespace

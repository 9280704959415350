// ripplefield-wayland as a user runs it on each headless compositor: every output covered and
// animated, at its physical size in buffers no larger than the output, pixel for pixel the still
// renderer's where the compositor lets the scale be known, and the output named as the compositor
// names it.
#include "compositor_support.h"
#include "png_file.h"

#include <csignal>

#include <unistd.h>

namespace {

// What a row can see of the picture: the still renderer's, every pixel; the output covered (no
// pixel of the compositor's own grey shows); or, where nothing can be read back, a run that
// goes on without a word.
enum class Seen { kExact, kCovered, kRunning };

// The picture's colours are never grey: the clear colour is blue, and red leads the ramp.
bool ShowsGrey(const std::vector<unsigned char>& rgb) {
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        if (rgb[i] == rgb[i + 1] && rgb[i + 1] == rgb[i + 2]) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(CompositorsProcessTest, EveryOutputIsCoveredAtItsPhysicalSizeAndFoundByItsName) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to run compositors as a system user (useradd, setpriv)";
    }
    char dir[] = "/tmp/ripplefield-compositors-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string files = dir;
    using K = CompositorKind;
    const struct {
        CompositorKind kind;
        CompositorOptions options;
        const char* swaymsg; // sway: the output's mode and scale
        const char* output;  // given with --output, and read back
        int width, height;   // the output's physical size
        Seen seen;
    } rows[] = {
        {K::kSway, {}, nullptr, "HEADLESS-1", 1280, 720, Seen::kExact},
        {K::kKwin, {}, nullptr, "Virtual-0", 1280, 720, Seen::kExact},
        // The fractional scale and the viewporter: 1920x1080 buffers mapped 1:1.
        {K::kKwin, {1280, 720, 1.5}, nullptr, "Virtual-0", 1920, 1080, Seen::kExact},
        // The viewporter only: buffers of the mode, stretched by under a pixel to cover.
        {K::kSway, {}, "mode 1280x720 scale 1.5", "HEADLESS-1", 1280, 720, Seen::kCovered},
        {K::kSway, {}, "mode 1280x720 scale 3", "HEADLESS-1", 1280, 720, Seen::kCovered},
        {K::kSway, {}, "mode 1366x768 scale 1.75", "HEADLESS-1", 1366, 768, Seen::kCovered},
        {K::kSway, {}, "mode 1600x900 scale 1.25", "HEADLESS-1", 1600, 900, Seen::kExact},
        // wl_output version 3: the names are xdg-output's.
        {K::kWeston, {}, nullptr, "headless", 1280, 720, Seen::kExact},
        {K::kMutter, {}, nullptr, "Meta-0", 1280, 720, Seen::kRunning},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(CompositorName(row.kind)) + " " +
                     (row.swaymsg ? row.swaymsg : "") + " scale " +
                     std::to_string(row.options.scale));
        const std::string still = files + "/still.png";
        RunProgram({RIPPLEFIELD_RENDER_TOOL, "--size",
                    std::to_string(row.width) + "x" + std::to_string(row.height), "--seed", "2027",
                    "--ticks", "700", "--png", still});
        int width = 0;
        int height = 0;
        const std::vector<unsigned char> expected = ReadPngRgb(still, &width, &height);
        ASSERT_FALSE(expected.empty());
        HeadlessCompositor compositor;
        ASSERT_TRUE(StartCompositor(&compositor, row.kind, row.options));
        if (row.swaymsg != nullptr) {
            ASSERT_EQ(RunProgram({"swaymsg", std::string("output HEADLESS-1 ") + row.swaymsg},
                                 ProgramOptions(CompositorEnvironment(compositor)))
                          .exitCode,
                      0);
        }
        std::vector<std::string> env = CompositorEnvironment(compositor);
        env.insert(env.end(), {"RIPPLEFIELD_FREEZE=2027,700", "WAYLAND_DEBUG=1"});
        ProgramOptions options(env);
        options.stderrFile = files + "/protocol.log";
        RunningProgram program =
            StartProgram({RIPPLEFIELD_WAYLAND, "--output", row.output}, options);
        std::vector<unsigned char> shown;
        const bool seen = WaitUntil(
            [&] {
                if (row.seen == Seen::kRunning) {
                    int code = 0;
                    return !WaitForExit(&program, 3000, &code);
                }
                shown = CaptureOutput(compositor, row.output, &width, &height);
                return row.seen == Seen::kExact ? shown == expected
                                                : !shown.empty() && !ShowsGrey(shown);
            },
            kPatientMs);
        EXPECT_TRUE(seen) << (shown.empty() ? "nothing read back" : "not the picture");
        // Animating: the compositor keeps asking for frames and each gets a new buffer.
        const int attached = ReadProtocolLog(options.stderrFile).attaches;
        EXPECT_TRUE(
            WaitUntil([&] { return ReadProtocolLog(options.stderrFile).attaches >= attached + 30; },
                      kPatientMs))
            << "frames stopped after " << attached;
        const ProtocolLog log = ReadProtocolLog(options.stderrFile);
        EXPECT_GT(log.widest, 0);
        EXPECT_LE(log.widest, row.width);
        EXPECT_LE(log.tallest, row.height);
        SignalProgram(program, SIGTERM);
        int code = -1;
        EXPECT_TRUE(WaitForExit(&program, kPatientMs, &code));
        EXPECT_EQ(code, 0);
        KillProgram(&program);
        StopCompositor(&compositor);
    }
    RunProgram({"/bin/rm", "-rf", files});
}

// ripplefield-wayland as a user runs it on each headless compositor whose picture can be read
// back: the output shows, pixel for pixel, what the still renderer draws at its size.
#include "compositor_support.h"
#include "png_file.h"

#include <csignal>

#include <unistd.h>

TEST(CompositorsProcessTest, TheOutputShowsTheStillRenderersPicture) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to run compositors as a system user (useradd, setpriv)";
    }
    char dir[] = "/tmp/ripplefield-compositors-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string still = std::string(dir) + "/still.png";
    RunProgram({RIPPLEFIELD_RENDER_TOOL, "--size", "1280x720", "--seed", "2027", "--ticks", "700",
                "--png", still});
    int width = 0;
    int height = 0;
    const std::vector<unsigned char> expected = ReadPngRgb(still, &width, &height);
    RunProgram({"/bin/rm", "-rf", dir});
    ASSERT_FALSE(expected.empty());
    const struct {
        CompositorKind kind;
        const char* output;
    } rows[] = {{CompositorKind::Sway, "HEADLESS-1"}, {CompositorKind::Kwin, "Virtual-0"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(CompositorName(row.kind));
        HeadlessCompositor compositor;
        ASSERT_TRUE(StartCompositor(&compositor, row.kind));
        std::vector<std::string> env = CompositorEnvironment(compositor);
        env.push_back("RIPPLEFIELD_FREEZE=2027,700");
        RunningProgram program = StartProgram({RIPPLEFIELD_WAYLAND}, ProgramOptions(env));
        EXPECT_TRUE(WaitUntil(
            [&] { return CaptureOutput(compositor, row.output, &width, &height) == expected; },
            kPatientMs));
        kill(program.pid, SIGTERM);
        int code = -1;
        EXPECT_TRUE(WaitForExit(&program, kPatientMs, &code));
        EXPECT_EQ(code, 0);
        KillProgram(&program);
        StopCompositor(&compositor);
    }
}

// ripplefield-wayland as a user runs it, on headless sway: the picture on each output against the
// still renderer, outputs that come, the closing rules, signals, a lost compositor, the options,
// the full-screen fallback, and no frames while the surface is not shown.
#include "png_file.h"
#include "sway_support.h"

#include <csignal>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace {

const char kProgram[] = RIPPLEFIELD_WAYLAND;

class WaylandProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root, to run sway as a system user (useradd, setpriv)";
        }
        ASSERT_TRUE(StartSway(&sway_));
        char dir[] = "/tmp/ripplefield-wayland-test-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        files_ = dir;
    }
    void TearDown() override {
        KillProgram(&program_);
        KillProgram(&pointer_);
        StopSway(&nested_);
        StopSway(&sway_);
        if (!files_.empty()) {
            RunProgram({"/bin/rm", "-rf", files_});
        }
    }
    void Start(std::vector<std::string> args, std::vector<std::string> env = {},
               const std::string& stderrFile = "", const HeadlessSway* on = nullptr) {
        args.insert(args.begin(), kProgram);
        std::vector<std::string> set = SwayEnvironment(on ? *on : sway_);
        set.insert(set.end(), env.begin(), env.end());
        ProgramOptions options(set, {"RIPPLEFIELD_FREEZE"});
        options.stderrFile = stderrFile;
        program_ = StartProgram(args, options);
    }
    // A device on the seat, so that clients get a wl_pointer; before the program, so that the
    // pointer comes into its surface when that is shown.
    void AddPointer() {
        pointer_ =
            StartProgram({RIPPLEFIELD_VIRTUAL_POINTER}, ProgramOptions(SwayEnvironment(sway_)));
        ASSERT_TRUE(WaitUntil([&] { return Swaymsg(sway_, "seat seat0 cursor move 0 0") == 0; },
                              kPatientMs));
    }
    // Whether the output shows, pixel for pixel, what the still renderer draws at its physical
    // size for RIPPLEFIELD_FREEZE=2027,700.
    bool Shows(const std::string& output, int width, int height, int patienceMs = kPatientMs) {
        const std::string still = files_ + "/still-" + std::to_string(width) + ".png";
        if (access(still.c_str(), R_OK) != 0) {
            RunProgram({RIPPLEFIELD_RENDER_TOOL, "--size",
                        std::to_string(width) + "x" + std::to_string(height), "--seed", "2027",
                        "--ticks", "700", "--png", still});
        }
        int w = 0;
        int h = 0;
        const std::vector<unsigned char> expected = ReadPngRgb(still, &w, &h);
        const std::string shot = files_ + "/" + output + ".png";
        return WaitUntil(
            [&] {
                RunProgram({"grim", "-o", output, shot}, ProgramOptions(SwayEnvironment(sway_)));
                int sw = 0;
                int sh = 0;
                return !expected.empty() && ReadPngRgb(shot, &sw, &sh) == expected;
            },
            patienceMs);
    }
    int ExitCode() {
        int code = -1;
        EXPECT_TRUE(WaitForExit(&program_, kPatientMs, &code)) << "it did not end";
        return code;
    }
    bool Running() {
        int code = 0;
        return !WaitForExit(&program_, 1500, &code);
    }
    // Buffers attached so far, from the protocol log (WAYLAND_DEBUG=1) in the file.
    static int Attaches(const std::string& log, const char* what = ".attach(") {
        std::ifstream in(log);
        int n = 0;
        for (std::string line; std::getline(in, line);) {
            n += line.find(what) != std::string::npos;
        }
        return n;
    }

    HeadlessSway sway_;
    HeadlessSway nested_;
    RunningProgram program_;
    RunningProgram pointer_;
    std::string files_;
};

const std::vector<std::string> kFrozen = {"RIPPLEFIELD_FREEZE=2027,700"};

// Two outputs of different sizes, one at scale 2 (800x600 physical pixels: 400x300 surface pixels
// in a buffer of scale 2), then one plugged in while it runs; SIGHUP ends it cleanly.
TEST_F(WaylandProcessTest, EachOutputShowsTheStillRenderersPictureAtItsPhysicalSize) {
    ASSERT_EQ(Swaymsg(sway_, "create_output"), 0);
    ASSERT_EQ(Swaymsg(sway_, "output HEADLESS-2 mode 800x600 scale 2"), 0);
    Start({}, kFrozen);
    EXPECT_TRUE(Shows("HEADLESS-1", 1280, 720));
    EXPECT_TRUE(Shows("HEADLESS-2", 800, 600));
    ASSERT_EQ(Swaymsg(sway_, "create_output"), 0);
    ASSERT_EQ(Swaymsg(sway_, "output HEADLESS-3 mode 1024x768"), 0);
    EXPECT_TRUE(Shows("HEADLESS-3", 1024, 768)) << "the new output is not covered";
    SignalProgram(program_, SIGHUP); // as SIGTERM and SIGINT, which the other cases send
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_EQ(ReadStderr(&program_), "");
}

// The Windows saver's rule: |dx| + |dy| > 4 physical pixels from where the pointer came in,
// whatever the path and the output's scale. --window ends only on q or Escape, found by what the
// compositor's keymap makes of the key.
TEST_F(WaylandProcessTest, KeysButtonsAndMotionPastTheThresholdEndIt) {
    struct Case {
        const char* name;
        bool window;
        std::vector<std::string> commands; // swaymsg commands, or wtype's
        bool ends;
        const char* output = nullptr; // the output's mode and scale, where not 1280x720 at 1
    };
    const std::string press = "seat seat0 cursor press button1";
    const Case cases[] = {
        {"key", false, {"wtype a"}, true},
        {"button", false, {press}, true},
        {"5 pixels in two moves",
         false,
         {"seat seat0 cursor move 3 0", "seat seat0 cursor move 0 2"},
         true},
        {"3 pixels", false, {"seat seat0 cursor move 2 1"}, false},
        {"there and back",
         false,
         {"seat seat0 cursor move 4 0", "seat seat0 cursor move -4 0"},
         false},
        // At 1.25, 3 surface pixels are 3.75 physical ones, 4 are 5.
        {"3 at 1.25", false, {"seat seat0 cursor move 3 0"}, false, "mode 1600x900 scale 1.25"},
        {"4 at 1.25", false, {"seat seat0 cursor move 4 0"}, true, "mode 1600x900 scale 1.25"},
        {"window: a, a button, motion",
         true,
         {"wtype a", press, "seat seat0 cursor move 50 0"},
         false},
        {"window: q", true, {"wtype q"}, true},
        {"window: Escape", true, {"wtype -k Escape"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Swaymsg(sway_, std::string("output HEADLESS-1 ") +
                                     (c.output ? c.output : "mode 1280x720 scale 1")),
                  0);
        AddPointer();
        if (c.window) {
            Start({"--window"});
            ASSERT_TRUE(WaitUntil(
                [&] {
                    std::string tree;
                    Swaymsg(sway_, "-t get_tree", &tree);
                    return tree.find("\"app_id\": \"ripplefield\"") != std::string::npos;
                },
                kPatientMs));
        } else {
            Start({}, kFrozen);
            ASSERT_TRUE(c.output ? Shows("HEADLESS-1", 1600, 900) : Shows("HEADLESS-1", 1280, 720));
        }
        for (const std::string& command : c.commands) {
            if (command.rfind("wtype ", 0) == 0) {
                // The virtual keyboard comes first: the pause lets the program take it.
                std::vector<std::string> argv = Words(command);
                argv.insert(argv.begin() + 1, {"-s", "300"});
                RunProgram(argv, ProgramOptions(SwayEnvironment(sway_)));
            } else {
                EXPECT_EQ(Swaymsg(sway_, command), 0);
            }
        }
        if (!c.ends) {
            EXPECT_TRUE(Running());
            SignalProgram(program_, SIGINT);
        }
        EXPECT_EQ(ExitCode(), 0);
        KillProgram(&pointer_);
    }
}

// An output that goes takes its surface with it and the others run on; with the last one gone the
// saver ends with 0. Headless sway 1.7 cannot unplug an output: a sway nested in it can, whose
// outputs are windows there that the outer one closes.
TEST_F(WaylandProcessTest, UnpluggedOutputsGoAndTheRestRunOn) {
    ASSERT_TRUE(StartSway(&nested_, &sway_));
    ASSERT_EQ(Swaymsg(nested_, "create_output"), 0);
    const std::string log = files_ + "/protocol.log";
    Start({}, {"WAYLAND_DEBUG=1"}, log, &nested_);
    ASSERT_TRUE(WaitUntil(
        [&] {
            return Attaches(log, "zwlr_layer_surface_v1@") > 0 && Attaches(log, "wl_output@") > 0 &&
                   Attaches(log) > 10;
        },
        kPatientMs));
    ASSERT_EQ(Swaymsg(sway_, "[title=WL-2] kill"), 0);
    ASSERT_TRUE(WaitUntil([&] { return Attaches(log, ".global_remove(") == 1; }, kPatientMs));
    const int before = Attaches(log);
    EXPECT_TRUE(Running());
    EXPECT_GT(Attaches(log), before) << "no frames on the output left";
    ASSERT_EQ(Swaymsg(sway_, "[title=WL-1] kill"), 0);
    EXPECT_EQ(ExitCode(), 0);
}

TEST_F(WaylandProcessTest, ALostCompositorEndsItWithOneAndOneLine) {
    Start({}, kFrozen);
    ASSERT_TRUE(Shows("HEADLESS-1", 1280, 720));
    KillProgram(&sway_.program);
    EXPECT_EQ(ExitCode(), 1);
    const std::string err = ReadStderr(&program_);
    EXPECT_EQ(err.rfind("ripplefield-wayland: lost the connection to the compositor", 0), 0u)
        << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

// Without the layer shell (a test hook stands in for compositors that lack it), a full-screen
// toplevel per output shows the same picture; frames stop while it is hidden (another workspace,
// or its output powered down where the compositor can do that) and start again after.
TEST_F(WaylandProcessTest, TheFallbackShowsThePictureAndDrawsOnlyWhenShown) {
    const std::string log = files_ + "/protocol.log";
    std::vector<std::string> env = kFrozen;
    env.insert(env.end(), {"RIPPLEFIELD_WAYLAND_WITHOUT=zwlr_layer_shell_v1", "WAYLAND_DEBUG=1"});
    Start({}, env, log);
    ASSERT_TRUE(Shows("HEADLESS-1", 1280, 720));
    std::string outputs;
    for (const char* hide : {"workspace 2", "output HEADLESS-1 dpms off"}) {
        SCOPED_TRACE(hide);
        ASSERT_EQ(Swaymsg(sway_, hide), 0);
        Swaymsg(sway_, "-t get_outputs", &outputs);
        if (outputs.find("\"dpms\": false") == std::string::npos && hide[0] == 'o') {
            std::cout << "this sway cannot power a headless output down; not checked\n";
            break;
        }
        usleep(300000); // a frame already asked for may still come
        const int before = Attaches(log);
        usleep(1000000);
        EXPECT_EQ(Attaches(log), before) << "frames drawn while not shown";
        ASSERT_EQ(Swaymsg(sway_, hide[0] == 'w' ? "workspace 1" : "output HEADLESS-1 dpms on"), 0);
        EXPECT_TRUE(WaitUntil([&] { return Attaches(log) > before; }, kPatientMs));
    }
    ASSERT_EQ(Swaymsg(sway_, "kill"), 0); // the compositor's close request
    EXPECT_EQ(ExitCode(), 0);
}

// A view whose frames cannot be had (over the pixel limit, or its memory refused) covers its
// output in the background's colour from a small buffer, says why in one line, and ends on a key.
TEST_F(WaylandProcessTest, AViewWithoutItsFramesStillCoversAndEndsOnAKey) {
    const struct {
        const char* mode;
        long long addressSpace;
        const char* said;
    } cases[] = {{"mode --custom 16384x8193", 0, "has more pixels than can be drawn"},
                 {"mode --custom 7680x4320", 200000LL * 1024, "cannot have the memory"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
#ifdef __SANITIZE_ADDRESS__
        if (c.addressSpace > 0) {
            continue; // the sanitizer's own reservations take more address space than that
        }
#endif
        ASSERT_EQ(Swaymsg(sway_, std::string("output HEADLESS-1 ") + c.mode), 0);
        const std::string log = files_ + "/protocol.log";
        std::vector<std::string> env = kFrozen;
        env.push_back("WAYLAND_DEBUG=1");
        std::vector<std::string> args = {kProgram};
        ProgramOptions options(SwayEnvironment(sway_), {"RIPPLEFIELD_FREEZE"});
        options.set.insert(options.set.end(), env.begin(), env.end());
        options.stderrFile = log;
        options.addressSpace = c.addressSpace;
        program_ = StartProgram(args, options);
        ASSERT_TRUE(WaitUntil([&] { return Attaches(log) > 0; }, kPatientMs)) << "nothing shown";
        RunProgram({"wtype", "-s", "300", "a"}, ProgramOptions(SwayEnvironment(sway_)));
        EXPECT_EQ(ExitCode(), 0);
        std::ifstream in(log);
        int lines = 0;
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("ripplefield-wayland: ", 0) == 0) {
                ++lines;
                EXPECT_NE(line.find(c.said), std::string::npos) << line;
            }
        }
        EXPECT_EQ(lines, 1);
    }
}

// --window follows its output's scale: a change brings buffers of the new scale.
TEST_F(WaylandProcessTest, TheWindowFollowsItsOutputsScale) {
    const std::string log = files_ + "/protocol.log";
    Start({"--window"}, {"WAYLAND_DEBUG=1"}, log);
    ASSERT_TRUE(WaitUntil([&] { return Attaches(log) > 2; }, kPatientMs));
    EXPECT_EQ(Attaches(log, "set_buffer_scale(2)"), 0);
    ASSERT_EQ(Swaymsg(sway_, "output HEADLESS-1 scale 2"), 0);
    EXPECT_TRUE(WaitUntil([&] { return Attaches(log, "set_buffer_scale(2)") > 0; }, kPatientMs));
    SignalProgram(program_, SIGTERM);
    EXPECT_EQ(ExitCode(), 0);
}

TEST_F(WaylandProcessTest, OutputKeepsItToTheOutputNamed) {
    ASSERT_EQ(Swaymsg(sway_, "create_output"), 0);
    Start({"--output", "HEADLESS-2"}, kFrozen);
    EXPECT_TRUE(Shows("HEADLESS-2", 1920, 1080));
    EXPECT_FALSE(Shows("HEADLESS-1", 1280, 720, 0));
    SignalProgram(program_, SIGTERM);
    EXPECT_EQ(ExitCode(), 0);
    Start({"--output", "NOPE"});
    EXPECT_EQ(ExitCode(), 1);
    EXPECT_EQ(ReadStderr(&program_), "ripplefield-wayland: no output is named 'NOPE'\n");
}

} // namespace

// Refused before any compositor is looked for: one line and 1.
TEST(WaylandOptions, BadOptionsAndValuesGetOneLineAndOne) {
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> env;
        const char* line;
    } cases[] = {
        {{"--bogus"}, {}, "unknown option '--bogus' (see --help)"},
        {{"--max-fps", "0"}, {}, "--max-fps '0' is not a whole number from 1 to 1000"},
        {{"-max-fps", "fast"}, {}, "-max-fps 'fast' is not a whole number from 1 to 1000"},
        {{"--output"}, {}, "--output needs a value"},
        {{}, {"RIPPLEFIELD_FREEZE=7"}, "RIPPLEFIELD_FREEZE '7' is not SEED,MILLISECONDS"},
        {{},
         {"WAYLAND_DISPLAY=ripplefield-none", "XDG_RUNTIME_DIR=/tmp"},
         "cannot connect to the Wayland compositor 'ripplefield-none'"},
        {{},
         {"XDG_RUNTIME_DIR="},
         "XDG_RUNTIME_DIR is not set, so there is no Wayland compositor to connect to"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {RIPPLEFIELD_WAYLAND};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const ProgramRun run = RunProgram(argv, ProgramOptions(c.env, {"RIPPLEFIELD_FREEZE"}));
        EXPECT_EQ(run.exitCode, 1) << c.line;
        EXPECT_EQ(run.err, std::string("ripplefield-wayland: ") + c.line + "\n");
    }
    EXPECT_EQ(RunProgram({RIPPLEFIELD_WAYLAND, "--version"}).out.rfind("ripplefield-wayland ", 0),
              0u);
}

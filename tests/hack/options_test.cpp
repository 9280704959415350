// options_test.cpp -- the display mode's command line and environment read in-process: what each
// accepts, and the one line each refusal gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hack/options.h"

namespace {

// The options as one line, for comparing whole results.
std::string Describe(const HackOptions& o) {
    return std::string(o.root ? "root" : "window") +
           (o.hasWindowId ? " id " + std::to_string(o.windowId) : "") +
           (o.hasDelay ? " delay " + std::to_string(o.delayMicroseconds) : "") +
           (o.showFps ? " fps" : "") +
           (o.hasPresent ? " present " + std::to_string(static_cast<int>(o.present)) : "");
}

TEST(HackOptions, EachArgumentListGivesItsOptionsOrOneLine) {
    struct Case {
        std::vector<const char*> args;
        ParseStatus status;
        std::string outcome; // Describe() when parsed, else the error line
    };
    const Case cases[] = {
        {{}, ParseStatus::kParsed, "window"},
        {{"-mono", "--root", "--install", "-noinstall", "--visual", "default", "-pair", "--fps"},
         ParseStatus::kParsed,
         "root fps"},
        {{"--root", "-window", "--window-id", "0x1FFFFFFF", "-delay", "-0", "--present", "auto"},
         ParseStatus::kParsed,
         "window id 536870911 delay 0 present 2"},
        {{"-window-id", "42", "--delay", "10000000", "--fps", "-no-fps", "-present", "image"},
         ParseStatus::kParsed,
         "window id 42 delay 10000000 present 1"},
        {{"--fps", "--help"}, ParseStatus::kHelpAsked, ""},
        {{"-h"}, ParseStatus::kHelpAsked, ""},
        {{"-version", "--bogus"}, ParseStatus::kVersionAsked, ""},
        {{"--bogus"}, ParseStatus::kBadArguments, "unknown option '--bogus' (see --help)"},
        {{"--present=image"},
         ParseStatus::kBadArguments,
         "unknown option '--present=image' (see --help)"},
        {{"-root", "extra"},
         ParseStatus::kBadArguments,
         "unexpected argument 'extra' (see --help)"},
        {{"--window-id", "abc"},
         ParseStatus::kBadArguments,
         "--window-id 'abc' is not a window id"},
        {{"-window-id", "0x"}, ParseStatus::kBadArguments, "-window-id '0x' is not a window id"},
        {{"--window-id", "+5"}, ParseStatus::kBadArguments, "--window-id '+5' is not a window id"},
        {{"--window-id", "0"}, ParseStatus::kBadArguments, "--window-id '0' is not a window id"},
        {{"--window-id", "0x20000000"}, // ids have 29 bits
         ParseStatus::kBadArguments,
         "--window-id '0x20000000' is not a window id"},
        {{"--present", "glx"},
         ParseStatus::kBadArguments,
         "--present 'glx' is not gl, image or auto"},
        {{"--present", ""}, ParseStatus::kBadArguments, "--present '' is not gl, image or auto"},
        {{"--delay", "-5"}, ParseStatus::kBadArguments, "--delay '-5' is negative"},
        {{"--delay", "+5"},
         ParseStatus::kBadArguments,
         "--delay '+5' is not a number of microseconds"},
        {{"--delay", "fast"},
         ParseStatus::kBadArguments,
         "--delay 'fast' is not a number of microseconds"},
        {{"--delay", "99999999999"},
         ParseStatus::kBadArguments,
         "--delay '99999999999' is more than 10000000 (10 seconds)"},
        {{"--fps", "--delay"}, ParseStatus::kBadArguments, "--delay needs a value"},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"ripplefield"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.outcome);
        HackOptions options;
        std::string error;
        const ParseStatus status =
            ParseHackOptions(static_cast<int>(argv.size()), argv.data(), &options, &error);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(status == ParseStatus::kParsed ? Describe(options) : error, c.outcome);
    }
}

// RIPPLEFIELD_FREEZE and XSCREENSAVER_WINDOW: what each value gives.
TEST(HackOptions, EnvironmentValuesGiveTheirSettingsOrRefusal) {
    struct Freeze {
        const char* text;
        bool ok;
        uint32_t seed;
        int32_t ms;
    };
    const Freeze freezes[] = {
        {"2027,700", true, 2027, 700},
        {"4294967295,-2147483648", true, 4294967295u, -2147483647 - 1},
        {"0,-0", true, 0, 0},
        {"7", false, 0, 0},
        {"4294967296,0", false, 0, 0},
        {"1,2147483648", false, 0, 0},
        {"+1,0", false, 0, 0},
        {"1,+0", false, 0, 0},
        {",5", false, 0, 0},
        {"1,5,", false, 0, 0},
    };
    for (const Freeze& f : freezes) {
        SCOPED_TRACE(f.text);
        uint32_t seed = 0;
        int32_t ms = 0;
        EXPECT_EQ(ParseFreeze(f.text, &seed, &ms), f.ok);
        EXPECT_EQ(seed, f.seed);
        EXPECT_EQ(ms, f.ms);
    }
    HackOptions root{};
    root.root = true;
    HackTarget target = HackTarget::kOwnWindow;
    unsigned long id = 0;
    std::string error;
    EXPECT_FALSE(ChooseHackTarget(root, "nope", &target, &id, &error));
    EXPECT_EQ(error, "XSCREENSAVER_WINDOW 'nope' is not a window id");
    EXPECT_TRUE(ChooseHackTarget(root, "0x2a", &target, &id, &error));
    EXPECT_EQ(target, HackTarget::kGivenWindow);
    EXPECT_EQ(id, 42u);
}

} // namespace

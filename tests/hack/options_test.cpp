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
        ParseResult status;
        std::string outcome; // Describe() when parsed, else the error line
    };
    const Case cases[] = {
        {{}, ParseResult::kRun, "window"},
        {{"-mono", "--root", "--install", "-noinstall", "--visual", "default", "-pair", "--fps"},
         ParseResult::kRun,
         "root fps"},
        {{"--root", "-window", "--window-id", "0x1FFFFFFF", "-delay", "-0", "--present", "auto"},
         ParseResult::kRun,
         "window id 536870911 delay 0 present 2"},
        {{"-window-id", "42", "--delay", "10000000", "--fps", "-no-fps", "-present", "image"},
         ParseResult::kRun,
         "window id 42 delay 10000000 present 1"},
        {{"--fps", "--help"}, ParseResult::kHelp, ""},
        {{"-h"}, ParseResult::kHelp, ""},
        {{"-version", "--bogus"}, ParseResult::kVersion, ""},
        {{"--bogus"}, ParseResult::kBad, "unknown option '--bogus' (see --help)"},
        {{"--present=image"}, ParseResult::kBad, "unknown option '--present=image' (see --help)"},
        {{"-root", "extra"}, ParseResult::kBad, "unexpected argument 'extra' (see --help)"},
        {{"--window-id", "abc"}, ParseResult::kBad, "--window-id 'abc' is not a window id"},
        {{"-window-id", "0x"}, ParseResult::kBad, "-window-id '0x' is not a window id"},
        {{"--window-id", "+5"}, ParseResult::kBad, "--window-id '+5' is not a window id"},
        {{"--window-id", "0"}, ParseResult::kBad, "--window-id '0' is not a window id"},
        {{"--window-id", "0x20000000"}, // ids have 29 bits
         ParseResult::kBad,
         "--window-id '0x20000000' is not a window id"},
        {{"--present", "glx"}, ParseResult::kBad, "--present 'glx' is not gl, image or auto"},
        {{"--present", ""}, ParseResult::kBad, "--present '' is not gl, image or auto"},
        {{"--delay", "-5"}, ParseResult::kBad, "--delay '-5' is negative"},
        {{"--delay", "+5"}, ParseResult::kBad, "--delay '+5' is not a number of microseconds"},
        {{"--delay", "fast"}, ParseResult::kBad, "--delay 'fast' is not a number of microseconds"},
        {{"--delay", "99999999999"},
         ParseResult::kBad,
         "--delay '99999999999' is more than 10000000 (10 seconds)"},
        {{"--fps", "--delay"}, ParseResult::kBad, "--delay needs a value"},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"ripplefield"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.outcome);
        HackOptions options;
        std::string error;
        const ParseResult status =
            ParseHackOptions(static_cast<int>(argv.size()), argv.data(), &options, &error);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(status == ParseResult::kRun ? Describe(options) : error, c.outcome);
    }
}

// XSCREENSAVER_WINDOW: what a value gives.
TEST(HackOptions, XScreenSaverWindowGivesItsWindowOrRefusal) {
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

// The display mode's command line: every option that peers take, with one dash or two, and the
// values they carry; bad values are the process tests' concern.
#include <gtest/gtest.h>

#include <vector>

#include "hack/options.h"

TEST(HackOptions, AcceptsWhatEveryDisplayModeTakes) {
    struct Case {
        std::vector<const char*> args;
        bool root;
        unsigned long windowId; // 0: none
        long delay;             // -1: none
        bool fps;
    };
    const Case cases[] = {
        {{}, false, 0, -1, false},
        {{"--root"}, true, 0, -1, false},
        {{"-root", "-window"}, false, 0, -1, false},
        {{"--window", "--root"}, true, 0, -1, false},
        {{"--root", "--window-id", "0x1A00003"}, true, 0x1a00003, -1, false},
        {{"-window-id", "27262979", "-root"}, true, 27262979, -1, false},
        {{"--window-id", "0X2a", "--window-id", "7"}, false, 7, -1, false},
        {{"--delay", "0"}, false, 0, 0, false},
        {{"-delay", "10000000", "--delay", "20000"}, false, 0, 20000, false},
        {{"--fps"}, false, 0, -1, true},
        {{"-fps", "--no-fps"}, false, 0, -1, false},
        {{"--mono", "-install", "--noinstall", "--visual", "default", "-pair", "--fps"},
         false,
         0,
         -1,
         true},
        {{"-visual", "--root"}, false, 0, -1, false}, // a value, whatever it looks like
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"ripplefield"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::string trace;
        for (const char* a : c.args) {
            trace += std::string(a) + " ";
        }
        SCOPED_TRACE(trace);
        HackOptions options;
        std::string error;
        ASSERT_EQ(ParseHackOptions(static_cast<int>(argv.size()), argv.data(), &options, &error),
                  ParseStatus::kParsed)
            << error;
        EXPECT_EQ(options.root, c.root);
        EXPECT_EQ(options.hasWindowId, c.windowId != 0);
        if (c.windowId != 0) {
            EXPECT_EQ(options.windowId, c.windowId);
        }
        EXPECT_EQ(options.hasDelay, c.delay >= 0);
        if (c.delay >= 0) {
            EXPECT_EQ(options.delayMicroseconds, c.delay);
        }
        EXPECT_EQ(options.showFps, c.fps);
    }
}

TEST(HackOptions, WindowIdsInHexAndDecimal) {
    struct Case {
        const char* text;
        bool valid;
        unsigned long id;
    };
    const Case cases[] = {
        {"0x1", true, 1},
        {"0x1FFFFFFF", true, 0x1fffffffUL},
        {"536870911", true, 0x1fffffffUL},
        {"0x20000000", false, 0}, // ids have 29 bits
        {"536870912", false, 0},
        {"0", false, 0},
        {"0x0", false, 0},
        {"", false, 0},
        {"0x", false, 0},
        {"-5", false, 0},
        {"+5", false, 0},
        {"5 ", false, 0},
        {"0x1g", false, 0},
        {"99999999999999999999999", false, 0},
    };
    for (const Case& c : cases) {
        unsigned long id = 0;
        EXPECT_EQ(ParseWindowId(c.text, &id), c.valid) << "'" << c.text << "'";
        if (c.valid) {
            EXPECT_EQ(id, c.id) << c.text;
        }
    }
}

// run_settings_test.cpp -- what RIPPLEFIELD_PRESENT's and RIPPLEFIELD_FREEZE's values give each
// front end: the choice, the scene's seed, the frozen counter and the line about a bad value.
#include <gtest/gtest.h>

#include <cstdlib>

#include "frames/run_settings.h"

TEST(RunSettings, TheEnvironmentGivesTheChoiceTheSeedTheFrozenCounterOrALine) {
    const struct {
        const char* present; // null: unset
        const char* freeze;
        PresentChoice choice;
        bool frozen, bad;
        uint32_t seed;
        int32_t ms;
        const char* problem;
    } cases[] = {
        {nullptr, nullptr, PresentChoice::kAuto, false, false, 77, 0, ""},
        {"gl", "", PresentChoice::kGl, false, false, 77, 0, ""},
        {"image", "2027,700", PresentChoice::kImage, true, false, 2027, 700, ""},
        {"auto", "4294967295,-2147483648", PresentChoice::kAuto, true, false, 4294967295u,
         -2147483647 - 1, ""},
        {"", "0,-0", PresentChoice::kAuto, true, false, 0, 0, ""},
        {"GL", nullptr, PresentChoice::kAuto, false, false, 77, 0,
         "RIPPLEFIELD_PRESENT=GL is not gl, image or auto: using auto"},
        {nullptr, "7", PresentChoice::kAuto, false, true, 77, 0,
         "RIPPLEFIELD_FREEZE '7' is not SEED,MILLISECONDS"},
        {"x", "4294967296,0", PresentChoice::kAuto, false, true, 77, 0,
         "RIPPLEFIELD_PRESENT=x is not gl, image or auto: using auto; RIPPLEFIELD_FREEZE "
         "'4294967296,0' is not SEED,MILLISECONDS"},
        {nullptr, "1,2147483648", PresentChoice::kAuto, false, true, 77, 0, nullptr},
        {nullptr, "+1,0", PresentChoice::kAuto, false, true, 77, 0, nullptr},
        {nullptr, "1,+0", PresentChoice::kAuto, false, true, 77, 0, nullptr},
        {nullptr, ",5", PresentChoice::kAuto, false, true, 77, 0, nullptr},
        {nullptr, "1,5,", PresentChoice::kAuto, false, true, 77, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.present ? c.present : "(unset)") << " "
                                          << (c.freeze ? c.freeze : "(unset)"));
        c.present ? setenv("RIPPLEFIELD_PRESENT", c.present, 1) : unsetenv("RIPPLEFIELD_PRESENT");
        c.freeze ? setenv("RIPPLEFIELD_FREEZE", c.freeze, 1) : unsetenv("RIPPLEFIELD_FREEZE");
        const RunSettings s = ReadRunSettings(77);
        EXPECT_EQ(s.present, c.choice);
        EXPECT_EQ(s.frozen, c.frozen);
        EXPECT_EQ(s.badFreeze, c.bad);
        EXPECT_EQ(s.seed, c.seed);
        EXPECT_EQ(s.frozenMilliseconds, c.ms);
        if (c.problem != nullptr) {
            EXPECT_EQ(s.problem, c.problem);
        }
    }
    unsetenv("RIPPLEFIELD_PRESENT");
    unsetenv("RIPPLEFIELD_FREEZE");
}

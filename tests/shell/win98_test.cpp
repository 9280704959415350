// Programs run on their own: the password module on Windows 98 with stand-in verifiers beside, and
// the fault guard.
#include <gtest/gtest.h>

#include "process_support.h"
#include "shell/host_main.h"

namespace {

// Runs one of the Windows 98 programs; each reports through its own exit code.
DWORD RunAsWindows98(const char* folder, const char* program) {
    SetWineVersionFor(program, "win98");
    DWORD code = 0;
    const bool ended =
        RunProgram(ProgramFolder() + folder + "\\" + program + " --gtest_brief=1", 120000, &code);
    SetWineVersionFor(program, nullptr);
    EXPECT_TRUE(ended) << program << " did not end";
    return code;
}

} // namespace

TEST(PasswordModuleOnWindows98, BindsAndReleasesTheVerifier) {
    EXPECT_EQ(RunAsWindows98("win98", "win98_child.exe"), 0u);
}

TEST(PasswordModuleOnWindows98, FreesAModuleWithoutTheEntry) {
    EXPECT_EQ(RunAsWindows98("win98-noentry", "win98_noentry_child.exe"), 0u);
}

// Read by a new process: one that has read the value keeps it, whoever changes it later.
DWORD ScreenSaverRunning() {
    DWORD running = 99;
    EXPECT_TRUE(RunProgram(ProgramFolder() + "fault_child.exe running", 120000, &running));
    return running;
}

// Every fault that reaches the top clears the screen-saver-running state and ends the process
// with the fault code; a body that returns leaves both as they were.
TEST(FaultGuard, EveryFaultAtTheTopEndsWithItsOwnCode) {
    struct Case {
        const char* fault;
        DWORD code;
        DWORD running;
    };
    const Case cases[] = {
        {"none", 7, 1},
        {"structured", static_cast<DWORD>(kFaultExitCode), 0},
        {"exception", static_cast<DWORD>(kFaultExitCode), 0},
        {"terminate", static_cast<DWORD>(kFaultExitCode), 0},
        {"window", static_cast<DWORD>(kFaultExitCode), 0},
    };
    for (const Case& c : cases) {
        DWORD code = 0;
        ASSERT_TRUE(RunProgram(ProgramFolder() + "fault_child.exe " + c.fault, 120000, &code))
            << c.fault;
        EXPECT_EQ(code, c.code) << c.fault;
        EXPECT_EQ(ScreenSaverRunning(), c.running) << c.fault;
    }
    UINT previous = 0;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, FALSE, &previous, 0);
}

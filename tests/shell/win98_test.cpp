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

TEST(FaultGuard, AFaultLeftToTheSaverEndsWithItsOwnCode) {
    DWORD code = 0;
    ASSERT_TRUE(RunProgram(ProgramFolder() + "fault_child.exe", 120000, &code));
    EXPECT_EQ(code, static_cast<DWORD>(kFaultExitCode));
}

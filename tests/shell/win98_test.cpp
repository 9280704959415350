// The password module end to end: programs that see Windows 98, with stand-in verifiers beside.
#include <gtest/gtest.h>

#include "process_support.h"

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

// win98_child.cpp -- password module tests that only mean something on Windows 9x: the parent test
// makes Wine report Windows 98 for this program and runs it. Built twice: beside a stand-in
// "PASSWORD.CPL" with the verifier entry, and beside one without it.
#include <gtest/gtest.h>
#include <windows.h>

#include "process_support.h"
#include "shell/host_state.h"
#include "shell/password.h"

namespace {

class Windows98 : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetHostState();
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof version;
        ASSERT_TRUE(GetVersionExA(&version));
        ASSERT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS))
            << "this program must be run as a Windows 98 program";
        g_host.isWin9x = 1;
    }
    void TearDown() override {
        UnloadPasswordVerifier();
        RemoveUsePassword();
    }
    static bool ModuleLoaded() { return GetModuleHandleA("PASSWORD.CPL") != nullptr; }
};

} // namespace

#ifdef STAND_IN_HAS_ENTRY

TEST_F(Windows98, PasswordOnBindsTheVerifierAndUnloadReleasesIt) {
    SetUsePassword(1);
    LoadPasswordVerifier();
    ASSERT_NE(g_host.passwordModule, nullptr);
    EXPECT_EQ(g_host.passwordModule, GetModuleHandleA("PASSWORD.CPL"));
    EXPECT_EQ(
        reinterpret_cast<void*>(g_host.verifyPassword),
        reinterpret_cast<void*>(GetProcAddress(g_host.passwordModule, "VerifyScreenSavePwd")));
    UnloadPasswordVerifier();
    EXPECT_EQ(g_host.passwordModule, nullptr);
    EXPECT_EQ(g_host.verifyPassword, nullptr);
    EXPECT_FALSE(ModuleLoaded());
}

TEST_F(Windows98, LoadingAgainReleasesTheFirstModule) {
    SetUsePassword(1);
    LoadPasswordVerifier();
    LoadPasswordVerifier();
    ASSERT_NE(g_host.verifyPassword, nullptr);
    UnloadPasswordVerifier();
    EXPECT_FALSE(ModuleLoaded()); // one reference held, not two
}

TEST_F(Windows98, PasswordOffOrUnreadableLoadsNothing) {
    SetUsePassword(0);
    LoadPasswordVerifier();
    EXPECT_EQ(g_host.passwordModule, nullptr);
    RemoveUsePassword();
    LoadPasswordVerifier();
    EXPECT_EQ(g_host.passwordModule, nullptr);
    const unsigned char eight[8] = {1, 0, 0, 0, 0, 0, 0, 0}; // does not fit in four bytes
    SetUsePassword(REG_BINARY, eight, sizeof eight);
    LoadPasswordVerifier();
    EXPECT_EQ(g_host.passwordModule, nullptr);
    EXPECT_FALSE(ModuleLoaded());
}

TEST_F(Windows98, ShortValueCountsByItsBytes) {
    const char one[] = "1"; // the bytes '1' and NUL: nonzero
    SetUsePassword(REG_SZ, one, sizeof one);
    LoadPasswordVerifier();
    EXPECT_NE(g_host.verifyPassword, nullptr);
    UnloadPasswordVerifier();
    const unsigned char zero[1] = {0};
    SetUsePassword(REG_BINARY, zero, sizeof zero);
    LoadPasswordVerifier();
    EXPECT_EQ(g_host.passwordModule, nullptr);
}

#else

TEST_F(Windows98, ModuleWithoutTheEntryIsFreedAgain) {
    SetUsePassword(1);
    LoadPasswordVerifier();
    EXPECT_EQ(g_host.passwordModule, nullptr);
    EXPECT_EQ(g_host.verifyPassword, nullptr);
    EXPECT_FALSE(ModuleLoaded());
}

#endif

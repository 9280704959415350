// The Windows 9x close path: the verifier, the re-ask guard, re-entrancy and autoplay.
#include "host_fixture.h"

#include <vector>

#include "process_support.h"
#include "shell/password.h"

namespace {

struct Verifier {
    std::vector<HWND> asked;
    BOOL verdict;
    void (*during)(HWND); // what the user does while the dialog is open
};
Verifier g_verifier;

BOOL WINAPI TestVerifier(HWND hwnd) {
    g_verifier.asked.push_back(hwnd);
    if (g_verifier.during != nullptr) {
        g_verifier.during(hwnd);
    }
    return g_verifier.verdict;
}

class Windows9x : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        g_verifier = Verifier{};
        g_host.isWin9x = 1;
        g_host.verifyPassword = TestVerifier;
    }
};

} // namespace

TEST_F(Windows9x, RefusedPasswordKeepsTheSaverRunning) {
    OpenFullScreen();
    g_verifier.verdict = FALSE;
    g_verifier.during = [](HWND) { SetCursorPos(310, 305); }; // where the dialog was dismissed
    EXPECT_EQ(Send(WM_CLOSE), 0);
    ASSERT_EQ(g_verifier.asked.size(), 1u);
    EXPECT_EQ(g_verifier.asked[0], window_);
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_EQ(g_host.isClosing, 0);
    EXPECT_EQ(g_host.isVerifying, 0);
    EXPECT_NE(g_host.lastVerifyTick, 0xFFFFFFFFu);
    EXPECT_EQ(g_host.startCursor.x, 310); // the new rest position
    EXPECT_EQ(g_host.startCursor.y, 305);
    EXPECT_EQ(GetCursor(), nullptr);
    SetCursorPos(312, 306);
    Send(WM_MOUSEMOVE);
    EXPECT_FALSE(ClosePosted());
}

TEST_F(Windows9x, CloseSoonAfterARefusalIsRefusedWithoutAsking) {
    OpenFullScreen();
    g_verifier.verdict = FALSE;
    Send(WM_CLOSE);
    Send(WM_CLOSE); // well within 200 ms
    EXPECT_EQ(g_verifier.asked.size(), 1u);
    g_host.lastVerifyTick = GetTickCount() - 20; // a margin for a slow machine
    Send(WM_CLOSE);
    EXPECT_EQ(g_verifier.asked.size(), 1u);
    g_host.lastVerifyTick = GetTickCount() - 200; // 200 ms or more: ask again
    Send(WM_CLOSE);
    EXPECT_EQ(g_verifier.asked.size(), 2u);
    EXPECT_TRUE(IsWindow(window_));
}

TEST_F(Windows9x, GuardCountsAcrossTheTickCounterWrap) {
    EXPECT_EQ(TicksSince(0xFFFFFFF0u, 0x10u), 0x20u);
    EXPECT_EQ(TicksSince(0xFFFFFF9Cu, 0x63u), 199u);
    EXPECT_EQ(TicksSince(0xFFFFFF9Cu, 0x64u), 200u);
    EXPECT_EQ(TicksSince(5u, 5u), 0u);
    // The guard itself takes that difference: 20 ms ago is refused without asking.
    OpenFullScreen();
    g_host.lastVerifyTick = GetTickCount() - 0x14u;
    Send(WM_CLOSE);
    EXPECT_TRUE(g_verifier.asked.empty());
}

TEST_F(Windows9x, InputWhileVerifyingPostsNoCloseAndNestedClosesAreRefused) {
    OpenFullScreen();
    g_verifier.verdict = FALSE;
    g_verifier.during = [](HWND hwnd) {
        EXPECT_EQ(g_host.isVerifying, 1);
        SendMessageA(hwnd, WM_KEYDOWN, 'A', 0);
        SendMessageA(hwnd, WM_LBUTTONDOWN, 0, 0);
        SendMessageA(hwnd, WM_ACTIVATEAPP, 0, 0);
        SendMessageA(hwnd, WM_POWERBROADCAST, 0, 0);
        SetCursorPos(600, 500);
        SendMessageA(hwnd, WM_MOUSEMOVE, 0, 0);
        EXPECT_EQ(SendMessageA(hwnd, WM_CLOSE, 0, 0), 0);
        SendMessageA(hwnd, WM_TIMER, 1, 0); // frames go on behind the dialog
    };
    Send(WM_CLOSE);
    EXPECT_EQ(g_verifier.asked.size(), 1u);
    EXPECT_FALSE(ClosePosted());
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_EQ(g_hooks.frames, 1);
}

TEST_F(Windows9x, PendingFramesAreDroppedBeforeAsking) {
    OpenFullScreen();
    g_verifier.verdict = FALSE;
    for (int i = 0; i < 3; ++i) {
        PostMessageA(window_, WM_TIMER, 1, 0);
    }
    Send(WM_CLOSE);
    int left = 0;
    MSG m;
    while (PeekMessageA(&m, window_, WM_TIMER, WM_TIMER, PM_REMOVE)) {
        ++left;
    }
    EXPECT_EQ(left, 1); // two were taken out, one at a time
}

TEST_F(Windows9x, AnyNonzeroVerdictCloses) {
    OpenFullScreen();
    g_verifier.verdict = 7;
    Send(WM_CLOSE);
    EXPECT_EQ(g_host.isClosing, 7); // kept as it came
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_TRUE(QuitPosted());
}

TEST_F(Windows9x, FirstCloseWithoutVerifierCloses) {
    g_host.verifyPassword = nullptr;
    OpenFullScreen();
    Send(WM_CLOSE);
    EXPECT_EQ(g_host.isClosing, 1);
    EXPECT_FALSE(IsWindow(window_));
}

TEST_F(Windows9x, VerificationRequestIsAnsweredByTheVerifier) {
    OpenFullScreen();
    g_verifier.verdict = 5;
    EXPECT_EQ(Send(WM_APP), 5);
    EXPECT_EQ(g_verifier.asked.size(), 1u);
    g_host.verifyPassword = nullptr;
    EXPECT_EQ(Send(WM_APP), 1);
}

TEST_F(Windows9x, AutoplayIsCancelledOnlyUnderAPassword) {
    g_host.autoPlayMessage = RegisterWindowMessageA("QueryCancelAutoPlay");
    ASSERT_NE(g_host.autoPlayMessage, 0u);
    OpenFullScreen();
    EXPECT_EQ(Send(g_host.autoPlayMessage), 1);
    EXPECT_TRUE(ClosePosted());
    g_host.verifyPassword = nullptr;
    EXPECT_EQ(Send(g_host.autoPlayMessage), 0);
    EXPECT_TRUE(ClosePosted());
}

TEST_F(Windows9x, PreviewStillAnswersAutoplay) {
    g_host.verifyPassword = nullptr;
    g_host.autoPlayMessage = RegisterWindowMessageA("QueryCancelAutoPlay");
    OpenPreview();
    EXPECT_EQ(Send(g_host.autoPlayMessage), 0);
    EXPECT_TRUE(ClosePosted());
}

using PasswordModule = HostTest;

TEST_F(PasswordModule, NothingIsLoadedOutsideWindows9x) {
    ASSERT_NO_FATAL_FAILURE(SetUsePassword(1));
    LoadPasswordVerifier(); // whatever the registry says
    RemoveUsePassword();
    EXPECT_EQ(g_host.passwordModule, nullptr);
    EXPECT_EQ(g_host.verifyPassword, nullptr);
    EXPECT_EQ(GetModuleHandleA("PASSWORD.CPL"), nullptr);
    EXPECT_EQ(SetScreenSaverRunning(TRUE), FALSE); // no system call either
}

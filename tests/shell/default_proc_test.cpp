// Closing rules, preview behaviour and full-screen swallowing of the saver window.
#include "host_fixture.h"

using ClosingRules = HostTest;

TEST_F(ClosingRules, KeysButtonsDeactivationAndPowerEventsClose) {
    OpenFullScreen();
    for (UINT msg : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
        Send(msg);
        EXPECT_TRUE(ClosePosted()) << "message " << msg;
    }
    Send(WM_ACTIVATEAPP, 1);
    EXPECT_FALSE(ClosePosted());
    Send(WM_ACTIVATEAPP, 0);
    EXPECT_TRUE(ClosePosted());
    Send(WM_POWER, 1);
    Send(WM_POWER, 2);
    EXPECT_FALSE(ClosePosted());
    Send(WM_POWER, 3);
    EXPECT_TRUE(ClosePosted());
    for (WPARAM event : {0u, 7u, 0x12u}) {
        Send(WM_POWERBROADCAST, event);
        EXPECT_TRUE(ClosePosted()) << "event " << event;
    }
    EXPECT_TRUE(IsWindow(window_)); // posting a close is all the rule does
}

TEST_F(ClosingRules, SomeMessagesNeverClose) {
    OpenFullScreen();
    for (UINT msg : {WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_KEYUP, WM_SYSKEYUP, WM_CHAR,
                     WM_MOUSEWHEEL, WM_LBUTTONUP, WM_SIZE}) {
        Send(msg, msg == WM_MOUSEWHEEL ? MAKEWPARAM(0, 120) : 0);
        EXPECT_FALSE(ClosePosted()) << "message " << msg;
    }
}

TEST_F(ClosingRules, MouseMovesAddUpAgainstTheRestPosition) {
    OpenFullScreen(); // rest position (200, 200)
    SetCursorPos(203, 201);
    Send(WM_MOUSEMOVE);
    EXPECT_FALSE(ClosePosted()); // 3 + 1 = 4 is not beyond the threshold
    SetCursorPos(203, 202);
    Send(WM_MOUSEMOVE);
    EXPECT_TRUE(ClosePosted()); // 3 + 2 = 5
    // The point that posted the close is the new rest position.
    SetCursorPos(204, 202);
    Send(WM_MOUSEMOVE);
    EXPECT_FALSE(ClosePosted());
    EXPECT_EQ(g_host.startCursor.x, 203);
    EXPECT_EQ(g_host.startCursor.y, 202);

    // Five 1-pixel moves in one direction: the fifth closes.
    SetCursorPos(203, 202);
    for (int step = 1; step <= 4; ++step) {
        SetCursorPos(203 - step, 202);
        Send(WM_MOUSEMOVE);
        EXPECT_FALSE(ClosePosted()) << "move " << step;
    }
    SetCursorPos(198, 202);
    Send(WM_MOUSEMOVE);
    EXPECT_TRUE(ClosePosted());
}

TEST_F(ClosingRules, CloseDestroysAtOnceOutsideWindows9x) {
    OpenFullScreen();
    Send(WM_CLOSE);
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_EQ(g_host.isClosing, 0);
    EXPECT_TRUE(QuitPosted());
    EXPECT_TRUE(HookSaw(WM_DESTROY));
    // The verification request is nobody's business here.
    OpenFullScreen();
    EXPECT_EQ(Send(WM_APP), 0);
}

using Preview = HostTest;

TEST_F(Preview, NoClosingRuleApplies) {
    OpenPreview();
    SetCursorPos(400, 300);
    for (UINT msg : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN,
                     WM_MOUSEMOVE, WM_POWERBROADCAST}) {
        Send(msg);
    }
    Send(WM_ACTIVATEAPP, 0);
    Send(WM_POWER, 3);
    EXPECT_FALSE(ClosePosted());
    EXPECT_TRUE(IsWindow(window_));
}

TEST_F(Preview, HelpGoesToTheParentWithItsOwnHandle) {
    OpenPreview();
    HELPINFO help = {};
    help.cbSize = sizeof help;
    EXPECT_EQ(Send(WM_HELP, 0, reinterpret_cast<LPARAM>(&help)), 1);
    EXPECT_EQ(Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), MAKELPARAM(10, 20)), 1);
    EXPECT_EQ(g_parent.helpCount, 1);
    EXPECT_EQ(g_parent.helpWParam, reinterpret_cast<WPARAM>(parent_));
    EXPECT_EQ(g_parent.helpLParam, reinterpret_cast<LPARAM>(&help));
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, parent_, WM_CONTEXTMENU, WM_CONTEXTMENU, PM_REMOVE));
    EXPECT_EQ(m.wParam, reinterpret_cast<WPARAM>(parent_));
    EXPECT_EQ(m.lParam, MAKELPARAM(10, 20));
    EXPECT_FALSE(HookSaw(WM_HELP));
}

TEST_F(Preview, SystemCommandsPassOn) {
    OpenPreview();
    g_hooks.swallow = WM_SYSCOMMAND;
    Send(WM_SYSCOMMAND, SC_SCREENSAVE);
    EXPECT_TRUE(HookSaw(WM_SYSCOMMAND));
}

TEST_F(Preview, CloseDestroysAndQuits) {
    OpenPreview();
    g_host.isWin9x = 1;
    Send(WM_CLOSE); // no password check for a preview
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_TRUE(QuitPosted());
}

using FullScreen = HostTest;

TEST_F(FullScreen, SwallowsWindowSwitchingAndScreenSaverCommands) {
    OpenFullScreen();
    g_hooks.swallow = WM_SYSCOMMAND;
    for (WPARAM command : {SC_NEXTWINDOW, SC_PREVWINDOW, SC_SCREENSAVE}) {
        EXPECT_EQ(Send(WM_SYSCOMMAND, command), 0);
    }
    EXPECT_FALSE(HookSaw(WM_SYSCOMMAND));
    Send(WM_SYSCOMMAND, SC_SCREENSAVE | 1); // extra low bits: not the same command
    EXPECT_TRUE(HookSaw(WM_SYSCOMMAND));
}

TEST_F(FullScreen, KeepsItsTitle) {
    OpenFullScreen();
    EXPECT_EQ(Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Changed")), 0);
    char title[32] = {};
    GetWindowTextA(window_, title, sizeof title);
    EXPECT_STREQ(title, "Screen Saver");
    EXPECT_FALSE(HookSaw(WM_SETTEXT));
}

TEST_F(FullScreen, HidesTheCursor) {
    HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    SetCursor(arrow);
    OpenFullScreen();
    EXPECT_EQ(GetCursor(), nullptr); // at creation
    SetCursor(arrow);
    EXPECT_EQ(Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(window_), HTCLIENT), 1);
    EXPECT_EQ(GetCursor(), nullptr);
    SetCursor(arrow);
    Send(WM_SHOWWINDOW, 1);
    EXPECT_EQ(GetCursor(), nullptr);
}

TEST_F(FullScreen, FramesStopOnceACloseIsConfirmed) {
    OpenFullScreen();
    Send(WM_TIMER, 1);
    Send(WM_TIMER, 77); // any identifier draws
    EXPECT_EQ(g_hooks.frames, 2);
    g_host.isClosing = 1;
    EXPECT_EQ(Send(WM_TIMER, 1), 0);
    EXPECT_EQ(g_hooks.frames, 2);
    // Input goes past the hooks and no longer closes.
    g_hooks.messages.clear();
    Send(WM_KEYDOWN);
    Send(WM_MOUSEMOVE);
    Send(WM_LBUTTONDOWN);
    EXPECT_TRUE(g_hooks.messages.empty());
    EXPECT_FALSE(ClosePosted());
}

TEST_F(FullScreen, HostBindsTheInputMethodByName) {
    OpenFullScreen();
    if (GetModuleHandleA("IMM32.DLL") != nullptr) {
        EXPECT_EQ(g_host.imeModule, GetModuleHandleA("IMM32.DLL"));
        EXPECT_NE(g_host.associateContext, nullptr);
    } else {
        EXPECT_EQ(g_host.associateContext, nullptr);
    }
    EXPECT_TRUE(HookSaw(WM_CREATE));
    DestroyWindow(window_);
    EXPECT_TRUE(QuitPosted());
}

// Start-up: the program name skipped, handle numbers, and every mode of the command line.
#include "host_fixture.h"

#include <string>

#include "model/field.h"
#include "shell/host_main.h"

TEST(CommandLine, ProgramNameAndLeadingBlanksAreSkipped) {
    EXPECT_STREQ(SkipProgramName("\"C:\\Program Files\\Saver\\ripplefield.scr\" /s"), "/s");
    EXPECT_STREQ(SkipProgramName("\"C:\\My Saver.scr\"/p 12"), "/p 12");
    EXPECT_STREQ(SkipProgramName("ripplefield.scr\t/s"), "/s");
    EXPECT_STREQ(SkipProgramName("ripplefield.scr \t  -c:5"), "-c:5");
    EXPECT_STREQ(SkipProgramName("ripplefield.scr"), "");
    EXPECT_STREQ(SkipProgramName("\"unterminated /s"), ""); // the quote runs to the end
    EXPECT_STREQ(SkipProgramName(" /s"), "/s");             // no name: only blanks go
    EXPECT_STREQ(SkipProgramName(""), "");
}

TEST(CommandLine, HandleNumbersAreDecimalAndWrap) {
    const struct {
        const char* text;
        DWORD value;
    } cases[] = {
        {"1234", 1234u},
        {"12ab", 12u},
        {"0077 9", 77u},
        {"", 0u},
        {"abc", 0u},
        {"-5", 0u},
        {"+5", 0u},
        {":12", 0u},
        {"0x1f", 0u},
        {"4294967295", 4294967295u},
        {"4294967296", 0u},
        {"4294967306", 10u},
        {"99999999999", 1215752191u},             // modulo 2^32
        {"99999999999999999999999", 4135583743u}, // beyond 64 bits too
        {"\xb9", 0u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseHandleNumber(c.text), c.value) << "\"" << c.text << "\"";
    }
}

namespace {

int RunCommandLine(const std::string& commandLine) {
    std::string text = commandLine;
    return SaverMain(GetModuleHandleA(nullptr), nullptr, &text[0], SW_SHOWDEFAULT);
}

} // namespace

TEST(CommandLine, AnythingButAModeEndsWithMinusOne) {
    for (const char* line : {"/x", "/5", "x", "/:", "/\ts", "- \t/s", "\xe9", "/p", "/p 0",
                             "/p:1234", "-l", "/p abc", "/a 1234", "A", "//a"}) {
        EXPECT_EQ(RunCommandLine(line), -1) << "command line \"" << line << "\"";
    }
    EXPECT_EQ(g_host.saverWindow, nullptr); // nothing was shown
    EXPECT_EQ(g_host.instance, GetModuleHandleA(nullptr));
    EXPECT_EQ(g_host.isWin9x, 0);
}

// Modes that run a message loop or a modal dialog, finished from a thread timer.
class Modes : public HostTest {
  protected:
    void TearDown() override {
        UnregisterClassA("WindowsScreenSaverClass", GetModuleHandleA(nullptr));
        HostTest::TearDown();
    }
    static void Later(TIMERPROC action) { SetTimer(nullptr, 0, 100, action); }
};

struct Seen {
    HWND window;
    HWND owner;
    RECT rect;
    LONG style;
    LONG exStyle;
    char title[32];
};
Seen g_seen;
HWND g_target;

BOOL CALLBACK RecordDialog(HWND window, LPARAM) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) != "#32770") {
        return TRUE;
    }
    g_seen.window = window;
    g_seen.owner = GetWindow(window, GW_OWNER);
    GetWindowTextA(window, g_seen.title, sizeof g_seen.title);
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK PressOk(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EnumThreadWindows(GetCurrentThreadId(), RecordDialog, 0);
}

// Notes the saver window as it runs, then closes it the way the mode ends.
void CALLBACK NoteAndEnd(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND w = g_host.saverWindow;
    g_seen.window = w;
    GetWindowRect(w, &g_seen.rect);
    g_seen.style = GetWindowLongA(w, GWL_STYLE);
    g_seen.exStyle = GetWindowLongA(w, GWL_EXSTYLE);
    GetWindowTextA(w, g_seen.title, sizeof g_seen.title);
    if (g_target != nullptr) {
        DestroyWindow(g_target); // the display settings close the preview's parent
    } else {
        PostMessageA(w, WM_CLOSE, 0, 0);
    }
}

TEST_F(Modes, ConfigurationDialogOwnerComesFromTheCommandLine) {
    HWND owner = CreateWindowExA(0, "RippleFieldHostParent", "Owner", WS_OVERLAPPEDWINDOW, 0, 0,
                                 200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(owner, SW_SHOW);
    SetForegroundWindow(owner);
    const HWND foreground = GetForegroundWindow();
    const std::string number = std::to_string(reinterpret_cast<UINT_PTR>(owner));
    struct Case {
        std::string line;
        HWND owner;
    } cases[] = {{"/c:" + number, owner},
                 {"-C:" + number + "xyz", owner},
                 {"/c", foreground},
                 {"/c:0", foreground},
                 {"/c:", foreground},
                 {"/c:abc", foreground},
                 {"/c " + number, foreground},
                 {"", nullptr},
                 {" - ", nullptr}};
    for (const Case& c : cases) {
        g_seen = Seen{};
        Later(PressOk);
        EXPECT_EQ(RunCommandLine(c.line), 11)
            << c.line; // the dialog's result, as the hooks gave it
        EXPECT_NE(g_seen.window, nullptr) << c.line;
        EXPECT_EQ(g_seen.owner, c.owner) << c.line;
        EXPECT_STREQ(g_seen.title, "RippleField") << c.line;
    }
    EXPECT_EQ(g_hooks.registerCalls, 9);
    DestroyWindow(owner);
}

TEST_F(Modes, NoDialogWhenTheHooksRefuse) {
    g_hooks.registerResult = FALSE;
    g_seen = Seen{};
    Later(PressOk);
    EXPECT_EQ(RunCommandLine("/c"), 0);
    EXPECT_EQ(g_seen.window, nullptr);
    MSG m;
    while (PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
        DispatchMessageA(&m); // let the pending press find nothing
    }
}

TEST_F(Modes, PreviewFillsItsParentAndEndsWithIt) {
    for (const char* letter : {"/p ", "-l  "}) {
        ResetHostState();
        g_target =
            CreateWindowExA(0, "RippleFieldHostParent", "Settings", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                            240, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        RECT client;
        GetClientRect(g_target, &client);
        POINT origin = {0, 0};
        ClientToScreen(g_target, &origin);
        g_seen = Seen{};
        Later(NoteAndEnd);
        const std::string number = std::to_string(reinterpret_cast<UINT_PTR>(g_target));
        EXPECT_EQ(RunCommandLine(letter + number + "ab"), 0); // digits end at the first letter
        EXPECT_EQ(g_host.isPreview, 1);
        EXPECT_EQ(g_seen.rect.left, origin.x);
        EXPECT_EQ(g_seen.rect.top, origin.y);
        EXPECT_EQ(g_seen.rect.right - g_seen.rect.left, client.right);
        EXPECT_EQ(g_seen.rect.bottom - g_seen.rect.top, client.bottom);
        EXPECT_EQ(static_cast<DWORD>(g_seen.style) & 0xFFFF0000u, 0x52000000u);
        EXPECT_EQ(g_seen.exStyle & WS_EX_TOPMOST, 0);
        EXPECT_STREQ(g_seen.title, "Preview");
        EXPECT_FALSE(IsWindow(g_seen.window));
        UnregisterClassA("WindowsScreenSaverClass", GetModuleHandleA(nullptr));
    }
    g_target = nullptr;
}

TEST_F(Modes, FullScreenCoversTheScreenOnTop) {
    g_target = nullptr;
    g_seen = Seen{};
    Later(NoteAndEnd);
    EXPECT_EQ(RunCommandLine("- /S whatever follows"), 0);
    EXPECT_EQ(g_host.isPreview, 0);
    EXPECT_EQ(g_host.autoPlayMessage, 0u); // registered on Windows 9x only
    EXPECT_EQ(g_seen.rect.left, 0);
    EXPECT_EQ(g_seen.rect.top, 0);
    EXPECT_EQ(g_seen.rect.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(g_seen.rect.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(static_cast<DWORD>(g_seen.style) & 0xFFFF0000u, 0x96000000u);
    EXPECT_NE(g_seen.exStyle & WS_EX_TOPMOST, 0);
    EXPECT_STREQ(g_seen.title, "Screen Saver");
    EXPECT_FALSE(IsWindow(g_seen.window));
    EXPECT_TRUE(HookSaw(WM_CREATE));
}

TEST_F(Modes, FullScreenDefersToOneAlreadyRunning) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "WindowsScreenSaverClass";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND running = CreateWindowExA(0, "WindowsScreenSaverClass", "Screen Saver", WS_POPUP, 0, 0, 10,
                                   10, nullptr, nullptr, wc.hInstance, nullptr);
    EXPECT_EQ(RunCommandLine("/s"), 0);
    EXPECT_EQ(g_host.saverWindow, nullptr); // none of its own
    EXPECT_TRUE(g_hooks.messages.empty());
    DestroyWindow(running);
}

TEST(CommandLine, VectorFieldPathsOnlyWhereTheSystemKeepsSseRegisters) {
    RunCommandLine("/x");
    const bool keeps = IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != 0;
    EXPECT_EQ(ActiveFieldPath() != FieldPath::kPlain, keeps && CpuHasFieldPath(FieldPath::kSse2));
}

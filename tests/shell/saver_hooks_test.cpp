// The real saver hooks driven through the real host: the presenter's choice, GL context, timer
// frames, sizes, release, dialog.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "model/scene.h"
#include "frames/frame_step.h"
#include "render/frame.h"
#include "frames/frame_pacer.h"
#include "render/gl.h"
#include "picture/picture.h"
#include "render/gl_context.h"

#include "host_window_class.h"
#include "screen_capture.h"
#include "shell/default_proc.h"
#include "shell/host_state.h"
#include "shell/saver_hooks.h"
#include "shell/saver_window.h"
#include "still_picture.h"

#include <new>

namespace {

int g_readings = 0;
// Each frame reads the clock once: 16 ms more every time.
int CountingMilliseconds() {
    return 16 * ++g_readings;
}

HWND OpenSaverWindow() {
    RegisterHostWindowClass("RippleFieldHooksTest");
    return CreateWindowExA(0, "RippleFieldHooksTest", "Screen Saver", WS_POPUP, 0, 0, 200, 150,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// The display's period as the hooks take it from the window's device context.
double DisplayPeriodMs(HWND hwnd) {
    HDC dc = GetDC(hwnd);
    const double period = RefreshPeriodMs(GetDeviceCaps(dc, VREFRESH));
    ReleaseDC(hwnd, dc);
    return period;
}

int ThrowingMilliseconds() {
    throw std::bad_alloc();
}

int g_creationsSeen = 0;
void ThrowOnCreation(HWND, UINT msg) {
    if (msg == WM_CREATE) {
        ++g_creationsSeen;
        throw std::bad_alloc();
    }
}

// Gives the window a pixel format of its own, single-buffered, which the saver's cannot replace.
void TakePixelFormat(HWND hwnd, UINT msg) {
    PIXELFORMATDESCRIPTOR single = {};
    single.nSize = sizeof single;
    single.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if (msg == WM_CREATE) {
        SetPixelFormat(GetDC(hwnd), ChoosePixelFormat(GetDC(hwnd), &single), &single);
    }
}

void DrainQueue() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
}

// Sets a variable of this process's environment, as the saver reads it; an empty value removes it.
void SetVariable(const char* name, const char* value) {
    _putenv((std::string(name) + "=" + value).c_str());
}

double g_pacerClock = 0.0;
double ReadPacerClock() {
    return g_pacerClock;
}

class SaverHooks : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetHostState();
        g_saverView.frames = FrameLoop{};
        g_saverView.frames.readCounter = CountingMilliseconds;
        g_readings = 0;
        g_saverView.readMilliseconds = ReadSteadyMilliseconds;
        g_host.instance = GetModuleHandleA(nullptr);
        g_host.isPreview = 1;                     // input here must not close the window under test
        SetVariable("RIPPLEFIELD_PRESENT", "gl"); // auto takes the picture under llvmpipe
    }
    void TearDown() override {
        g_saverHookProbe = nullptr;
        DrainQueue();
        g_saverView.readMilliseconds = ReadSteadyMilliseconds;
        g_saverView.frames.readCounter = ReadElapsedMilliseconds;
        SetVariable("RIPPLEFIELD_PRESENT", "");
    }
};

} // namespace

TEST_F(SaverHooks, CreationStartsTheSceneFromTheTickCountThenTheContext) {
    const DWORD before = GetTickCount();
    HWND hwnd = OpenSaverWindow();
    const DWORD after = GetTickCount();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_NE(wglGetCurrentContext(), nullptr);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    const ModelState& model = g_saverView.frames.model;
    EXPECT_EQ(model.scene.viewWidth, 200);
    EXPECT_EQ(model.scene.viewHeight, 150);
    bool fromTicks = false;
    for (DWORD tick = before; tick <= after && !fromTicks; ++tick) {
        ModelState seeded{};
        StartScene(seeded, tick, 200, 150);
        fromTicks = seeded.randomState == model.randomState &&
                    seeded.bank.phase[44] == model.bank.phase[44];
    }
    EXPECT_TRUE(fromTicks) << "the scene's seed is not a tick count of its creation";
    DestroyWindow(hwnd);
}

TEST_F(SaverHooks, TimerMessagesDrawWhenAFrameIsDue) {
    g_saverView.readMilliseconds = ReadPacerClock;
    g_pacerClock = 5000.0;
    HWND hwnd = OpenSaverWindow();
    const double period = DisplayPeriodMs(hwnd);
    EXPECT_DOUBLE_EQ(g_saverView.pacer.periodMs, period);
    // Any timer identifier draws once a frame is due, and none draws before.
    const struct {
        double at; // periods after the first message
        WPARAM id;
        int frames; // drawn so far
    } steps[] = {
        {0.0, 1, 1}, {0.1, 1, 1},      {0.3, 2, 1},      {1.0, 2, 2},
        {1.2, 1, 2}, {2.0, 0x4711, 3}, {2.1, 0x4711, 3}, {3.05, 7, 4},
    };
    for (const auto& step : steps) {
        g_pacerClock = 5000.0 + step.at * period;
        EXPECT_EQ(SendMessageA(hwnd, WM_TIMER, step.id, 0), 0);
        EXPECT_EQ(g_readings, step.frames) << "at " << step.at << " periods, timer " << step.id;
    }
    EXPECT_NEAR(g_saverView.frames.model.clock.time, 0.064, 1e-12); // one step a frame
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    DestroyWindow(hwnd);
}

TEST_F(SaverHooks, TheFrameTimerRunsUntilDestruction) {
    HWND hwnd = OpenSaverWindow();
    // Frames come from the window's own timer alone; the deadline only bounds a broken run.
    const DWORD until = GetTickCount() + 60000;
    MSG m;
    // One message at a time: a slow frame finds the next timer message already due.
    while (g_readings < 3 && GetTickCount() < until) {
        if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&m);
        } else {
            Sleep(1);
        }
    }
    EXPECT_GE(g_readings, 3);
    const HGLRC context = wglGetCurrentContext();
    ASSERT_NE(context, nullptr);

    DestroyWindow(hwnd);
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_FALSE(wglDeleteContext(context)); // already released
    EXPECT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    const int frames = g_readings;
    Sleep(50);
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&m);
    }
    EXPECT_EQ(g_readings, frames); // no timer left behind
}

// Over a few seconds of the real 5 ms timer, no more frames than the display shows. Only an upper
// bound: a slow machine draws fewer.
TEST_F(SaverHooks, TheTimerDrawsNoMoreFramesThanTheDisplayShows) {
    HWND hwnd = OpenSaverWindow();
    const double period = DisplayPeriodMs(hwnd);
    const double start = ReadSteadyMilliseconds();
    MSG m;
    while (ReadSteadyMilliseconds() - start < 3000.0) {
        if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&m);
        } else {
            Sleep(1);
        }
    }
    const double elapsed = ReadSteadyMilliseconds() - start;
    const int frames = g_readings;
    DestroyWindow(hwnd);
    EXPECT_GE(frames, 1) << "no timer message in " << elapsed << " ms";
    EXPECT_LE(frames, 1.05 * elapsed / period + 2.0)
        << frames << " frames in " << elapsed << " ms at " << 1000.0 / period << " Hz";
}

typedef int(WINAPI* GetSwapIntervalEXTProc)();

// Where the driver offers swap control, swaps wait for one refresh; elsewhere only this check is
// skipped, since frames are paced all the same.
TEST_F(SaverHooks, SwapsWaitForOneRefreshWhereTheDriverOffersIt) {
    HWND hwnd = OpenSaverWindow();
    // Wine hands out the entry only where the extension is offered.
    const GetSwapIntervalEXTProc swapInterval = reinterpret_cast<GetSwapIntervalEXTProc>(
        reinterpret_cast<void*>(wglGetProcAddress("wglGetSwapIntervalEXT")));
    if (swapInterval == nullptr) {
        DestroyWindow(hwnd);
        GTEST_SKIP() << "no WGL_EXT_swap_control here";
    }
    EXPECT_EQ(swapInterval(), 1);
    // Not merely the driver's default: the interval asked for is the one taken.
    for (const int interval : {0, 2, 1}) {
        EXPECT_TRUE(SetSwapInterval(wglGetCurrentDC(), interval));
        EXPECT_EQ(swapInterval(), interval);
    }
    DestroyWindow(hwnd);
}

// An exception never leaves the hooks (it would end the process): a frame that throws from deep
// inside is skipped, and the next one is drawn.
TEST_F(SaverHooks, AFrameThatThrowsIsSkipped) {
    HWND hwnd = OpenSaverWindow();
    g_saverView.readMilliseconds = ReadPacerClock; // each message below comes when a frame is due
    g_saverView.frames.readCounter = ThrowingMilliseconds;
    g_pacerClock += 1000.0;
    EXPECT_EQ(SendMessageA(hwnd, WM_TIMER, 1, 0), 0);
    g_saverView.frames.readCounter = CountingMilliseconds;
    g_pacerClock += 1000.0;
    SendMessageA(hwnd, WM_TIMER, 1, 0);
    EXPECT_EQ(g_readings, 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(IsWindow(hwnd));
    DestroyWindow(hwnd);
}

// A creation that throws refuses the window, so that the host's run ends with -1.
TEST_F(SaverHooks, ACreationThatThrowsRefusesTheWindow) {
    UnregisterClassA("WindowsScreenSaverClass", g_host.instance);
    HWND parent = CreateWindowExA(0, "STATIC", "Display settings", WS_POPUP, 0, 0, 160, 120,
                                  nullptr, nullptr, g_host.instance, nullptr);
    ASSERT_NE(parent, nullptr);
    g_creationsSeen = 0;
    g_saverHookProbe = ThrowOnCreation;
    EXPECT_EQ(RunSaverWindow(parent), -1);
    EXPECT_EQ(g_creationsSeen, 1); // the window was refused by the hooks, not before
    EXPECT_EQ(g_host.saverWindow, nullptr);
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    DestroyWindow(parent);
    UnregisterClassA("WindowsScreenSaverClass", g_host.instance);
}

// RIPPLEFIELD_PRESENT picks the presenter: auto takes the picture with GDI here, where GL is
// llvmpipe, and keeps no GL context; so does a name it does not know, and GL that cannot start
// (the window's pixel format taken already). Frames follow the window's size.
TEST_F(SaverHooks, ThePresenterFollowsTheChoiceAndTheWindowsSize) {
    const struct {
        const char* present;
        bool takeFormat;
        const char* presenter;
    } cases[] = {{"gl", false, "gl"},
                 {"image", false, "image"},
                 {"", false, "image"},
                 {"vulkan", false, "image"},
                 {"gl", true, "image"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("RIPPLEFIELD_PRESENT=") + c.present +
                     (c.takeFormat ? ", pixel format taken" : ""));
        SetVariable("RIPPLEFIELD_PRESENT", c.present);
        g_saverHookProbe = c.takeFormat ? TakePixelFormat : nullptr;
        g_saverView.readMilliseconds = ReadPacerClock;
        g_readings = 0;
        HWND hwnd = OpenSaverWindow();
        ASSERT_NE(hwnd, nullptr);
        ASSERT_NE(g_saverView.frames.presenter, nullptr);
        EXPECT_STREQ(PresentChoiceName(g_saverView.frames.presenter->kind), c.presenter);
        const bool gl = std::strcmp(c.presenter, "gl") == 0;
        EXPECT_EQ(wglGetCurrentContext() != nullptr, gl);
        ShowWindow(hwnd, SW_SHOWNA);
        for (const int width : {200, 120}) {
            SetWindowPos(hwnd, nullptr, 0, 0, width, 90,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            g_pacerClock += 1000.0;
            EXPECT_EQ(SendMessageA(hwnd, WM_TIMER, 1, 0), 0);
            EXPECT_EQ(g_saverView.frames.model.scene.viewWidth, width);
            EXPECT_EQ(g_saverView.frames.model.scene.viewHeight, 90);
            // The band always covers the middle row, in the ramp's colours (red leads). GDI's
            // drawing is read back here; GL's frames are compared on the screen by scr_tests.
            const COLORREF middle = GetPixel(GetDC(hwnd), width - 1, 45);
            if (!gl) {
                EXPECT_GE(GetRValue(middle), 100) << std::hex << middle;
                EXPECT_GE(GetRValue(middle), GetGValue(middle)) << std::hex << middle;
            }
        }
        EXPECT_EQ(g_readings, 2);
        DestroyWindow(hwnd);
        EXPECT_EQ(wglGetCurrentContext(), nullptr);
    }
}

namespace {

// What the frozen window's rectangle of the screen should show, and how far it got.
struct FrozenCheck {
    HWND preview; // the parent of the preview, destroyed to end it; null full screen
    RECT area;
    std::vector<DWORD> expected;
    size_t differ;
    DWORD deadline;
};
FrozenCheck g_frozen;

// Runs inside the host's message loop: once the window shows the frame, or time is up, ends the
// run as the user or the display settings would.
void CALLBACK CompareFrozenFrame(HWND, UINT, UINT_PTR timer, DWORD) {
    FrozenCheck& f = g_frozen;
    if (g_host.saverWindow == nullptr) {
        return;
    }
    GetWindowRect(g_host.saverWindow, &f.area);
    const LONG width = f.area.right - f.area.left;
    const LONG height = f.area.bottom - f.area.top;
    if (f.expected.size() != static_cast<size_t>(width) * height) {
        TexelLayout layout;
        LayoutFromMasks(0xFF0000u, 0xFF00u, 0xFFu, 0u, &layout); // the screen's 0x00RRGGBB
        const std::vector<uint32_t> still = StillPicture(width, height, 2027, 700, layout);
        f.expected.assign(still.begin(), still.end());
    }
    const std::vector<DWORD> shown = CutRect(CaptureScreen(), f.area);
    f.differ = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
        f.differ += shown[i] != f.expected[i];
    }
    if (f.differ == 0 || GetTickCount() > f.deadline) {
        KillTimer(nullptr, timer);
        if (f.preview != nullptr) {
            DestroyWindow(f.preview);
        } else {
            PostMessageA(g_host.saverWindow, WM_CLOSE, 0, 0);
        }
    }
}

} // namespace

// A frozen frame (RIPPLEFIELD_FREEZE=SEED,MS) is the still renderer's at the window's size, pixel
// for pixel: full screen with either presenter, and in the preview with auto's. (The preview is
// run here, in the parent's process: Wine shows nothing that a process draws in a child window of
// another process's, whatever draws it.)
TEST_F(SaverHooks, AFrozenFrameIsTheStillRenderersAtTheWindowsSize) {
    const struct {
        const char* present;
        bool preview;
    } cases[] = {{"image", false}, {"gl", false}, {"", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.preview ? "preview" : "full screen") +
                     ", RIPPLEFIELD_PRESENT=" + c.present);
        SetVariable("RIPPLEFIELD_PRESENT", c.present);
        SetVariable("RIPPLEFIELD_FREEZE", "2027,700");
        ResetHostState();
        g_host.instance = GetModuleHandleA(nullptr);
        UnregisterClassA("WindowsScreenSaverClass", g_host.instance);
        g_frozen = FrozenCheck{};
        g_frozen.deadline = GetTickCount() + 30000;
        if (c.preview) {
            g_frozen.preview = CreateWindowExA(WS_EX_NOACTIVATE, "STATIC", "Display settings",
                                               WS_POPUP | WS_VISIBLE, 100, 100, 240, 180, nullptr,
                                               nullptr, g_host.instance, nullptr);
        }
        SetTimer(nullptr, 0, 100, CompareFrozenFrame);
        EXPECT_EQ(RunSaverWindow(g_frozen.preview), 0);
        EXPECT_EQ(g_frozen.differ, 0u) << "of " << g_frozen.expected.size() << " pixels";
        EXPECT_FALSE(g_frozen.expected.empty());
    }
    SetVariable("RIPPLEFIELD_FREEZE", "");
    UnregisterClassA("WindowsScreenSaverClass", g_host.instance);
}

namespace {

// A dialog with no controls, built in memory: the hook's answers do not depend on the template.
struct alignas(4) EmptyDialog {
    DLGTEMPLATE header;
    WORD menu, windowClass, title;
};

WORD g_button;

BOOL CALLBACK PressButtonOn(HWND window, LPARAM) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(g_button, BN_CLICKED), 0);
    return FALSE; // the dialog is the thread's only window
}

// Presses the button once the dialog's modal loop runs.
void CALLBACK PressButton(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EnumThreadWindows(GetCurrentThreadId(), PressButtonOn, 0);
}

INT_PTR RunDialogPressing(WORD button) {
    EmptyDialog dialog = {{WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 0, 0, 0, 120, 60}, 0, 0, 0};
    g_button = button;
    SetTimer(nullptr, 0, 50, PressButton);
    return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &dialog.header, nullptr,
                                   SaverConfigureDialogProc, 0);
}

} // namespace

TEST(ConfigureDialog, OkGivesOneAndCancelZero) {
    EXPECT_TRUE(SaverRegisterDialogClasses(GetModuleHandleA(nullptr)));
    EXPECT_EQ(RunDialogPressing(IDOK), 1);
    EXPECT_EQ(RunDialogPressing(IDCANCEL), 0);
    EXPECT_FALSE(SaverConfigureDialogProc(nullptr, WM_INITDIALOG, 0, 0));
    EXPECT_FALSE(SaverConfigureDialogProc(nullptr, WM_COMMAND, MAKEWPARAM(1001, 0), 0));
}

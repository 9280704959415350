// saver_hooks.cpp -- the saver's picture in its window: its one view, the presenter that shows it
// (GL, or the picture drawn on the processor and shown with GDI, or the background alone where
// neither can start), the 5 ms frame timer paced to the display, release.
#include "shell/saver_hooks.h"

#include <string>

#include "frames/run_settings.h"
#include "render/gl_presenter.h"
#include "shell/default_proc.h"
#include "shell/gdi_presenter_win32.h"
#include "shell/null_presenter_win32.h"
#include "text/text.h"

static const UINT_PTR kFrameTimer = 1;
// Shorter than any display's refresh period, so that each refresh finds a timer message waiting;
// the system rounds it up to its own timer step.
static const UINT kFramePeriodMs = 5;
static const char kProbeClass[] = "RippleFieldGlProbe";

// One saver window per process, so one view and one client size.
static RECT g_clientRect;

SaverView g_saverView = {{}, {}, ReadSteadyMilliseconds};

void (*g_saverHookProbe)(HWND hwnd, UINT msg);

// A .scr has no console: a setting it cannot take is reported to the debugger's output, and to
// stderr, which Wine passes to its terminal.
static void ReportSetting(const std::string& text) {
    const std::string line = CleanLine("ripplefield: " + text);
    OutputDebugStringA((line + "\n").c_str());
    PrintLine(line);
}

// Where auto asks GL what it is: a hidden window of its own, since a window that once had a GL
// pixel format may show no GDI drawing afterwards (a child window under Wine), and the preview is
// one.
static void* OpenGlProbe() {
    WNDCLASSA wc = {};
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kProbeClass;
    RegisterClassA(&wc); // fails harmlessly when it exists already
    return CreateWindowExA(0, kProbeClass, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance,
                           nullptr);
}

static void CloseGlProbe(void* probe) {
    DestroyWindow(static_cast<HWND>(probe));
}

// The scene from the tick count (or RIPPLEFIELD_FREEZE), then GL where it is asked for or, for
// auto, where it is drawn by hardware; else, and wherever GL cannot start, the picture with GDI;
// the background alone where neither can.
static void StartSaverFrames(HWND hwnd, int width, int height) {
    const RunSettings settings = ReadRunSettings(GetTickCount());
    if (!settings.problem.empty()) {
        ReportSetting(settings.problem + (settings.badFreeze ? ": the clock runs" : ""));
    }
    FrameLoop& loop = g_saverView.frames;
    StartFrameLoop(loop, settings.seed, width, height, false);
    if (settings.frozen) {
        FreezeFrameCounter(loop, settings.frozenMilliseconds);
    }
    const PresenterOffer offer = {&kGlPresenter, &kGdiPresenter, &kNullPresenter,
                                  hwnd,          OpenGlProbe,    CloseGlProbe};
    std::string why;
    switch (StartChosenPresenter(loop, settings.present, offer, &why)) {
    case ChosenPresenter::kImage:
        if (!why.empty()) {
            ReportSetting("no GL context (" + why + "): drawing on the processor");
        }
        break;
    case ChosenPresenter::kLastResort:
    case ChosenPresenter::kNone:
        ReportSetting("no way to show frames (" + why + ")");
        break;
    case ChosenPresenter::kGl:
        break;
    }
}

static LRESULT HandleSaverMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_saverHookProbe != nullptr) {
        g_saverHookProbe(hwnd, msg);
    }
    switch (msg) {
    case WM_CREATE: {
        GetClientRect(hwnd, &g_clientRect);
        StartSaverFrames(hwnd, g_clientRect.right, g_clientRect.bottom);
        HDC dc = GetDC(hwnd);
        const int refreshHz = GetDeviceCaps(dc, VREFRESH);
        ReleaseDC(hwnd, dc);
        StartFramePacer(&g_saverView.pacer, RefreshPeriodMs(refreshHz));
        SetTimer(hwnd, kFrameTimer, kFramePeriodMs, nullptr);
        return 0;
    }
    case WM_DESTROY:
        KillTimer(hwnd, kFrameTimer);
        StopFrameLoop(g_saverView.frames);
        return 0;
    case WM_SIZE:
        // The preview follows its parent; the animation goes on at the new size.
        if (LOWORD(lParam) != g_clientRect.right || HIWORD(lParam) != g_clientRect.bottom) {
            g_clientRect.right = LOWORD(lParam);
            g_clientRect.bottom = HIWORD(lParam);
            ResizeFrames(g_saverView.frames, g_clientRect.right, g_clientRect.bottom);
        }
        break;
    case WM_TIMER:
        // Whatever the timer's identifier; one that comes before the display can show another
        // frame draws nothing. The model steps by elapsed time, so the animation keeps its speed.
        if (TakeFrameSlot(&g_saverView.pacer, g_saverView.readMilliseconds())) {
            StepFrame(g_saverView.frames);
        }
        return 0;
    }
    return DefSaverWindowProc(hwnd, msg, wParam, lParam);
}

// A C++ exception cannot unwind through the system's frames around a window procedure (on i686
// it ends the process in std::terminate, past the fault guard), so none leaves here: a frame that
// fails is skipped, and a creation that fails releases what it made and refuses the window.
LRESULT CALLBACK SaverWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleSaverMessage(hwnd, msg, wParam, lParam);
    } catch (...) {
        if (msg == WM_CREATE) {
            KillTimer(hwnd, kFrameTimer);
            StopFrameLoop(g_saverView.frames);
            return -1;
        }
        return 0;
    }
}

INT_PTR CALLBACK SaverConfigureDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_COMMAND) {
        const WORD id = LOWORD(wParam);
        if (id == IDOK || id == IDCANCEL) {
            EndDialog(dialog, id == IDOK);
            return TRUE;
        }
    }
    return FALSE; // nothing to set up: the saver has no settings
}

BOOL WINAPI SaverRegisterDialogClasses(HANDLE) {
    return TRUE;
}

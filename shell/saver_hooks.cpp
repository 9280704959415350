// saver_hooks.cpp -- the saver's picture in its window: the presenter, 5 ms frame timer paced to
// the display, release; the clear colour alone where no presenter can draw.
#include "shell/saver_hooks.h"

#include "frames/frame_step.h"
#include "model/field.h"
#include "model/scene.h"
#include "render/gl_presenter.h"
#include "shell/default_proc.h"

static const UINT_PTR kFrameTimer = 1;
// Shorter than any display's refresh period, so that each refresh finds a timer message waiting;
// the system rounds it up to its own timer step.
static const UINT kFramePeriodMs = 5;

// One saver window per process, so one set of handles.
static RECT g_clientRect;
static int g_width;
static int g_height;
static const Presenter* g_presenter; // null: nothing draws, the clear colour is painted

SaverPacing g_saverPacing = {{}, ReadSteadyMilliseconds};

void (*g_saverHookProbe)(HWND hwnd, UINT msg);

// Without a GL context the window still hides the desktop, in the colour GL would clear it to.
static void PaintClearColour(HWND hwnd, HDC dc) {
    const SceneParams& s = g_model.scene;
    HBRUSH brush = CreateSolidBrush(RGB(GLColourByte(static_cast<float>(s.clearRed)),
                                        GLColourByte(static_cast<float>(s.clearGreen)),
                                        GLColourByte(static_cast<float>(s.clearBlue))));
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
}

static void ReleaseWindowResources(HWND hwnd) {
    KillTimer(hwnd, kFrameTimer);
    if (g_presenter != nullptr) {
        g_presenter->stop();
        g_presenter = nullptr;
    }
}

// The display's refresh rate from the window's own device context (the class has CS_OWNDC).
static int ReadRefreshRate(HWND hwnd) {
    HDC dc = GetDC(hwnd);
    const int refreshHz = GetDeviceCaps(dc, VREFRESH);
    ReleaseDC(hwnd, dc);
    return refreshHz;
}

static LRESULT HandleSaverMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_saverHookProbe != nullptr) {
        g_saverHookProbe(hwnd, msg);
    }
    switch (msg) {
    case WM_CREATE: {
        GetClientRect(hwnd, &g_clientRect);
        g_width = g_clientRect.right;
        g_height = g_clientRect.bottom;
        // The GL presenter's start is the context's creation (which reseeds the model with the
        // tick count) and the fixed state, whose scene it applies: the saver's scene starts there.
        // Set first, so that a start that throws half way is still stopped.
        g_presenter = &kGlPresenter;
        std::string error;
        if (!g_presenter->start(hwnd, g_width, g_height, &error)) {
            // No GL here: no frames and no GL call. The window still covers the screen, painted
            // in the scene's clear colour, and closes by the usual rules.
            g_presenter = nullptr;
            ResetScene();
            return 0;
        }
        StartFrameLoop(g_presenter, false);
        StartFramePacer(&g_saverPacing.pacer, RefreshPeriodMs(ReadRefreshRate(hwnd)));
        SetTimer(hwnd, kFrameTimer, kFramePeriodMs, nullptr);
        return 0;
    }
    case WM_DESTROY:
        ReleaseWindowResources(hwnd);
        return 0;
    case WM_TIMER:
        // Whatever the timer's identifier; one that comes before the display can show another
        // frame draws nothing. The model steps by elapsed time, so the animation keeps its speed.
        if (g_presenter != nullptr &&
            TakeFrameSlot(&g_saverPacing.pacer, g_saverPacing.readMilliseconds())) {
            StepFrame();
        }
        return 0;
    case WM_ERASEBKGND:
        if (g_presenter == nullptr) {
            PaintClearColour(hwnd, reinterpret_cast<HDC>(wParam));
            return 1;
        }
        break;
    case WM_PAINT:
        if (g_presenter == nullptr) {
            PAINTSTRUCT paint;
            PaintClearColour(hwnd, BeginPaint(hwnd, &paint));
            EndPaint(hwnd, &paint);
            return 0;
        }
        break;
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
            ReleaseWindowResources(hwnd);
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

// saver_hooks.cpp -- the saver's picture in its window: GL context, 5 ms frame timer paced to the
// display, release.
#include "shell/saver_hooks.h"

#include "render/frame.h"
#include "render/gl_context.h"
#include "shell/default_proc.h"

static const UINT_PTR kFrameTimer = 1;
static const UINT kFramePeriodMs = 5;

// One saver window per process, so one set of handles.
static RECT g_clientRect;
static int g_width;
static int g_height;
static GLContext g_context;

SaverPacing g_saverPacing = {{}, ReadSteadyMilliseconds};

void (*g_saverHookProbe)(UINT msg);

static void ReleaseWindowResources(HWND hwnd) {
    KillTimer(hwnd, kFrameTimer);
    DestroyGLContext(hwnd, g_context.device, g_context.render);
    g_context = GLContext{nullptr, nullptr};
}

static LRESULT HandleSaverMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_saverHookProbe != nullptr) {
        g_saverHookProbe(msg);
    }
    switch (msg) {
    case WM_CREATE: {
        GetClientRect(hwnd, &g_clientRect);
        g_width = g_clientRect.right;
        g_height = g_clientRect.bottom;
        g_context = CreateGLContext(hwnd);
        // Where the driver takes it, the swap waits for the display; the pacer below still holds
        // frames to its rate where the swap returns at once all the same.
        SetSwapInterval(g_context.device, 1);
        InitGLState(g_width, g_height);
        const int refreshHz = GetDeviceCaps(static_cast<HDC>(g_context.device), VREFRESH);
        StartFramePacer(&g_saverPacing.pacer, RefreshPeriodMs(refreshHz));
        SetTimer(hwnd, kFrameTimer, kFramePeriodMs, nullptr);
        return 0;
    }
    case WM_DESTROY:
        ReleaseWindowResources(hwnd);
        return 0;
    case WM_TIMER:
        // Whatever the timer's identifier; one that comes before the display can show another
        // frame draws nothing. The model steps by elapsed time, so the animation keeps its speed.
        if (TakeFrameSlot(&g_saverPacing.pacer, g_saverPacing.readMilliseconds())) {
            PresentFrame(g_context.device);
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

// saver_hooks.cpp -- the saver's picture in its window: the presenter that shows it (GL, or the
// picture drawn on the processor and shown with GDI), the 5 ms frame timer paced to the display,
// release; the clear colour alone where neither can start.
#include "shell/saver_hooks.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "frames/frame_step.h"
#include "frames/run_settings.h"
#include "model/field.h"
#include "model/scene.h"
#include "model/text.h"
#include "render/gl.h"
#include "render/gl_context.h"
#include "render/gl_presenter.h"
#include "shell/default_proc.h"
#include "shell/gdi_presenter_win32.h"

static const UINT_PTR kFrameTimer = 1;
// Shorter than any display's refresh period, so that each refresh finds a timer message waiting;
// the system rounds it up to its own timer step.
static const UINT kFramePeriodMs = 5;
static const char kProbeClass[] = "RippleFieldGlProbe";

// One saver window per process, so one set of handles.
static RECT g_clientRect;
static const Presenter* g_presenter; // null: none could start, and the clear colour shows

SaverPacing g_saverPacing = {{}, ReadSteadyMilliseconds};

void (*g_saverHookProbe)(HWND hwnd, UINT msg);

// A .scr has no console: a setting it cannot take is reported to the debugger's output, and to
// stderr, which Wine passes to its terminal.
static void ReportSetting(const std::string& text, bool toStderr) {
    const std::string line = CleanLine("ripplefield: " + text);
    OutputDebugStringA((line + "\n").c_str());
    if (toStderr) {
        PrintLine(line);
    }
}

static PresentChoice ReadPresentChoice() {
    const char* request = std::getenv("RIPPLEFIELD_PRESENT");
    const PresentChoice choice = PickPresentChoice(request); // a bad name: one line on stderr
    if (request != nullptr && request[0] != '\0' &&
        std::strcmp(request, PresentChoiceName(choice)) != 0) {
        ReportSetting(std::string("RIPPLEFIELD_PRESENT=") + request +
                          " is not gl, image or auto: using auto",
                      false);
    }
    return choice;
}

// RIPPLEFIELD_FREEZE=SEED,MS starts the scene from SEED and makes every frame read MS, for
// comparisons and tests. Any other value is reported and the clock runs as usual.
static void ReadFreeze(uint32_t* seed) {
    const char* value = std::getenv("RIPPLEFIELD_FREEZE");
    if (value == nullptr || value[0] == '\0') {
        return;
    }
    uint32_t frozenSeed = 0;
    int32_t milliseconds = 0;
    if (!ParseFreeze(value, &frozenSeed, &milliseconds)) {
        ReportSetting(std::string("RIPPLEFIELD_FREEZE '") + value +
                          "' is not SEED,MILLISECONDS: the clock runs",
                      true);
        return;
    }
    *seed = frozenSeed;
    FreezeFrameCounter(milliseconds);
}

// Whether GL here would draw on the processor, or cannot be had at all. Asked on a hidden window
// of its own: a window that once had a GL pixel format may show no GDI drawing afterwards (a
// child window under Wine), and the preview is one.
static bool GlDrawsOnTheProcessor() {
    WNDCLASSA wc = {};
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kProbeClass;
    RegisterClassA(&wc); // fails harmlessly when it exists already
    HWND probe = CreateWindowExA(0, kProbeClass, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    if (probe == nullptr) {
        return false; // no telling: GL it is, as before
    }
    const GLContext context = CreateGLContext(probe);
    const bool software =
        context.render == nullptr ||
        IsSoftwareRenderer(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    DestroyGLContext(probe, context.device, context.render);
    DestroyWindow(probe);
    return software;
}

// GL where it is asked for, or for auto where it is drawn by hardware; else, and wherever GL
// cannot start, the picture with GDI.
static const Presenter* StartPresenter(HWND hwnd, int width, int height) {
    const PresentChoice choice = ReadPresentChoice();
    std::string error;
    const bool gl = choice == PresentChoice::kGl ||
                    (choice == PresentChoice::kAuto && !GlDrawsOnTheProcessor());
    if (gl && kGlPresenter.start(hwnd, width, height, &error)) {
        return &kGlPresenter;
    }
    if (gl) {
        ReportSetting("no GL context (" + error + "): drawing on the processor", true);
    }
    if (kGdiPresenter.start(hwnd, width, height, &error)) {
        return &kGdiPresenter;
    }
    ReportSetting("no way to show frames (" + error + ")", true);
    return nullptr;
}

// Without a presenter the window still hides the desktop, in the colour GL would clear it to.
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

static void ReleaseWindowResources() {
    if (g_presenter != nullptr) {
        g_presenter->stop();
    }
    g_presenter = nullptr;
}

static LRESULT HandleSaverMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_saverHookProbe != nullptr) {
        g_saverHookProbe(hwnd, msg);
    }
    switch (msg) {
    case WM_CREATE: {
        GetClientRect(hwnd, &g_clientRect);
        const int width = g_clientRect.right;
        const int height = g_clientRect.bottom;
        g_presenter = StartPresenter(hwnd, width, height);
        uint32_t seed = GetTickCount();
        ReadFreeze(&seed);
        StartScene(seed, width, height);
        if (g_presenter == nullptr) {
            return 0; // no frames: the clear colour, and the usual closing rules
        }
        StartFrameLoop(g_presenter, false);
        HDC dc = GetDC(hwnd);
        const int refreshHz = GetDeviceCaps(dc, VREFRESH);
        ReleaseDC(hwnd, dc);
        StartFramePacer(&g_saverPacing.pacer, RefreshPeriodMs(refreshHz));
        SetTimer(hwnd, kFrameTimer, kFramePeriodMs, nullptr);
        return 0;
    }
    case WM_DESTROY:
        KillTimer(hwnd, kFrameTimer);
        ReleaseWindowResources();
        return 0;
    case WM_SIZE:
        // The preview follows its parent; the animation goes on at the new size.
        if (g_presenter != nullptr &&
            (LOWORD(lParam) != g_clientRect.right || HIWORD(lParam) != g_clientRect.bottom)) {
            g_clientRect.right = LOWORD(lParam);
            g_clientRect.bottom = HIWORD(lParam);
            g_presenter->resize(g_clientRect.right, g_clientRect.bottom);
        }
        break;
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
            KillTimer(hwnd, kFrameTimer);
            ReleaseWindowResources();
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

// default_proc.cpp -- the saver window's behaviour: closing rules, cursor, input method, help.
#include "shell/default_proc.h"

#include "shell/host_state.h"
#include "shell/password.h"
#include "shell/saver_hooks.h"

static void PostClose(HWND hwnd) {
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
}

static DWORD Distance(LONG a, LONG b) {
    return a > b ? static_cast<DWORD>(a) - static_cast<DWORD>(b)
                 : static_cast<DWORD>(b) - static_cast<DWORD>(a);
}

// Small moves add up against the same reference point until they leave the 4-pixel diamond,
// so a table's vibration does not end the saver but a real move does. The message's own
// coordinates are not used: they are relative to the window.
static void TestMouseMove(HWND hwnd) {
    POINT now;
    GetCursorPos(&now);
    const DWORD d = Distance(now.x, g_host.startCursor.x) + Distance(now.y, g_host.startCursor.y);
    if (d > g_host.mouseMoveThreshold) {
        PostClose(hwnd);
        g_host.startCursor = now;
    }
}

static void DetachInputMethod(HWND hwnd) {
    // Only a module the process has already loaded is used; it is never loaded for this.
    g_host.imeModule = GetModuleHandleA("IMM32.DLL");
    if (g_host.imeModule == nullptr) {
        return;
    }
    g_host.associateContext = reinterpret_cast<ImmAssociateContextProc>(
        reinterpret_cast<void*>(GetProcAddress(g_host.imeModule, "ImmAssociateContext")));
    if (g_host.associateContext != nullptr) {
        g_host.savedImeContext = g_host.associateContext(hwnd, nullptr);
    }
}

static void RestoreInputMethod(HWND hwnd) {
    if (g_host.imeModule != nullptr && g_host.associateContext != nullptr &&
        g_host.savedImeContext != nullptr) {
        g_host.associateContext(hwnd, g_host.savedImeContext);
    }
}

LRESULT CALLBACK HostWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        DetachInputMethod(hwnd);
        GetCursorPos(&g_host.startCursor);
        if (!g_host.isPreview) {
            SetCursor(nullptr);
        }
        break;
    case WM_DESTROY:
        RestoreInputMethod(hwnd);
        PostQuitMessage(0);
        break;
    case WM_SETTEXT:
        return 0; // the title never changes
    case WM_PAINT:
        if (g_host.isClosing) {
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        }
        if (!g_host.isPreview) {
            SetCursor(nullptr);
        }
        break;
    case WM_HELP:
    case WM_CONTEXTMENU:
        if (g_host.isPreview) {
            // The preview sits in the display settings, whose help belongs to its parent.
            // WM_HELP carries a pointer, and the system refuses to post such a message, so it
            // is sent; the context menu's request is posted.
            HWND parent = GetParent(hwnd);
            if (parent != nullptr && IsWindow(parent)) {
                if (msg == WM_HELP) {
                    SendMessageA(parent, msg, reinterpret_cast<WPARAM>(parent), lParam);
                } else {
                    PostMessageA(parent, msg, reinterpret_cast<WPARAM>(parent), lParam);
                }
            }
            return 1;
        }
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (g_host.isClosing) {
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        }
        break;
    case WM_SYSCOMMAND:
        // No task switching and no second saver over a full-screen one.
        if (!g_host.isPreview &&
            (wParam == SC_NEXTWINDOW || wParam == SC_PREVWINDOW || wParam == SC_SCREENSAVE)) {
            return 0;
        }
        break;
    case WM_TIMER:
        if (g_host.isClosing) {
            return 0; // no frame while the window goes
        }
        Sleep(0); // other ready threads get the rest of the time slice before a frame takes it
        break;
    }
    return SaverWindowProc(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK DefSaverWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!g_host.isPreview && !g_host.isClosing) {
        switch (msg) {
        case WM_CLOSE:
            if (g_host.isWin9x && !ConfirmClose(hwnd)) {
                // Where the password dialog was dismissed is the new rest position.
                GetCursorPos(&g_host.startCursor);
                return 0;
            }
            break;
        case WM_APP:
            if (g_host.isWin9x) {
                return g_host.verifyPassword != nullptr ? g_host.verifyPassword(hwnd) : 1;
            }
            break;
        default:
            // While the verifier runs, input is the user typing the password.
            if (g_host.isVerifying) {
                break;
            }
            switch (msg) {
            case WM_SHOWWINDOW:
                if (wParam) {
                    SetCursor(nullptr);
                }
                break;
            case WM_ACTIVATEAPP:
                if (!wParam) {
                    PostClose(hwnd);
                }
                break;
            case WM_SETCURSOR:
                SetCursor(nullptr);
                return 1;
            case WM_POWER:
                if (wParam == PWR_CRITICALRESUME) {
                    PostClose(hwnd);
                }
                break;
            case WM_KEYDOWN:
            case WM_SYSKEYDOWN:
            case WM_LBUTTONDOWN:
            case WM_RBUTTONDOWN:
            case WM_MBUTTONDOWN:
            case WM_POWERBROADCAST:
                PostClose(hwnd);
                break;
            case WM_MOUSEMOVE:
                TestMouseMove(hwnd);
                break;
            }
            break;
        }
    }
    if (msg == g_host.autoPlayMessage && msg != 0) {
        // Cancel autoplay: a protected saver must not let a CD start a program over it.
        PostClose(hwnd);
        return g_host.verifyPassword != nullptr ? 1 : 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

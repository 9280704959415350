// saver_window.cpp -- creates the one saver window, runs the message loop, releases after it.
#include "shell/saver_window.h"

#include "shell/default_proc.h"
#include "shell/host_state.h"
#include "shell/password.h"

static const char kClassName[] = "WindowsScreenSaverClass";
static const char kFullScreenTitle[] = "Screen Saver";
static const WORD kIconId = 100;

int RunSaverWindow(HWND parent) {
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
    wc.lpfnWndProc = HostWindowProc;
    wc.hInstance = g_host.instance;
    wc.hIcon = LoadIconA(g_host.instance, MAKEINTRESOURCEA(kIconId));
    wc.hCursor = nullptr; // the cursor is hidden by the window itself
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kClassName;

    DWORD exStyle;
    DWORD style;
    const char* title;
    int x = 0;
    int y = 0;
    int width;
    int height;
    if (parent != nullptr) {
        RECT client;
        GetClientRect(parent, &client);
        width = client.right;
        height = client.bottom;
        exStyle = 0;
        style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
        title = "Preview";
        g_host.isPreview = 1;
    } else {
        HDC screen = GetDC(nullptr);
        RECT box;
        GetClipBox(screen, &box);
        ReleaseDC(nullptr, screen);
        x = box.left;
        y = box.top;
        width = box.right - box.left;
        height = box.bottom - box.top;
        exStyle = WS_EX_TOPMOST;
        style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        title = kFullScreenTitle;
        // One full-screen saver at a time: the running one stays in front.
        HWND running = FindWindowA(kClassName, kFullScreenTitle);
        if (running != nullptr && IsWindow(running)) {
            SetForegroundWindow(running);
            return 0;
        }
        LoadPasswordVerifier();
    }
    g_host.autoPlayMessage = g_host.isWin9x ? RegisterWindowMessageA("QueryCancelAutoPlay") : 0;

    // Without a window no message is read; that is a failure, not the loop's 0.
    MSG msg = {};
    msg.wParam = static_cast<WPARAM>(-1);
    if (RegisterClassA(&wc) != 0) {
        g_host.saverWindow = CreateWindowExA(exStyle, kClassName, title, style, x, y, width, height,
                                             parent, nullptr, g_host.instance, nullptr);
    }
    if (g_host.saverWindow != nullptr) {
        if (parent == nullptr) {
            SetForegroundWindow(g_host.saverWindow);
        }
        // GetMessageA returns -1 on an error: that ends the loop rather than spinning on it.
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    UnloadPasswordVerifier();
    return static_cast<int>(msg.wParam);
}

// recording_hooks.cpp -- saver hooks that record messages instead of drawing.
#include "recording_hooks.h"

#include <algorithm>

#include "shell/default_proc.h"
#include "shell/saver_hooks.h"

HookRecord g_hooks;

void ResetHooks() {
    g_hooks = HookRecord{};
    g_hooks.registerResult = TRUE;
}

bool HookSaw(UINT msg) {
    return std::find(g_hooks.messages.begin(), g_hooks.messages.end(), msg) !=
           g_hooks.messages.end();
}

LRESULT CALLBACK SaverWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    g_hooks.messages.push_back(msg);
    switch (msg) {
    case WM_CREATE:
    case WM_DESTROY:
        return 0;
    case WM_TIMER:
        ++g_hooks.frames;
        return 0;
    }
    if (msg == g_hooks.swallow) {
        return 0;
    }
    return DefSaverWindowProc(hwnd, msg, wParam, lParam);
}

INT_PTR CALLBACK SaverConfigureDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam) == IDOK ? 11 : 12);
        return TRUE;
    }
    return FALSE;
}

BOOL WINAPI SaverRegisterDialogClasses(HANDLE) {
    ++g_hooks.registerCalls;
    return g_hooks.registerResult;
}

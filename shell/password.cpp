// password.cpp -- loads the system's screen-saver password verifier and asks it before a close.
#include "shell/password.h"

#include "shell/host_state.h"

// A close this soon after the verifier returned is refused without asking again, so that the
// input that dismissed the password dialog does not bring it straight back.
static const DWORD kReaskGuardTicks = 200;

void LoadPasswordVerifier() {
    if (!g_host.isWin9x) {
        return;
    }
    if (g_host.passwordModule != nullptr) {
        UnloadPasswordVerifier();
    }
    HKEY key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &key) != ERROR_SUCCESS) {
        return;
    }
    // A shorter value fills the low bytes of a zeroed number; a longer one fails the query.
    DWORD usePassword = 0;
    DWORD size = sizeof usePassword;
    if (RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&usePassword), &size) == ERROR_SUCCESS &&
        usePassword != 0) {
        g_host.passwordModule = LoadLibraryA("PASSWORD.CPL");
        if (g_host.passwordModule != nullptr) {
            g_host.verifyPassword =
                reinterpret_cast<VerifyScreenSavePwdProc>(reinterpret_cast<void*>(
                    GetProcAddress(g_host.passwordModule, "VerifyScreenSavePwd")));
            if (g_host.verifyPassword != nullptr) {
                SetScreenSaverRunning(TRUE);
            } else {
                UnloadPasswordVerifier();
            }
        }
    }
    RegCloseKey(key);
}

void UnloadPasswordVerifier() {
    if (!g_host.isWin9x || g_host.passwordModule == nullptr) {
        return;
    }
    FreeLibrary(g_host.passwordModule);
    g_host.passwordModule = nullptr;
    if (g_host.verifyPassword != nullptr) {
        g_host.verifyPassword = nullptr;
        SetScreenSaverRunning(FALSE);
    }
}

DWORD TicksSince(DWORD then, DWORD now) {
    return now - then;
}

DWORD ConfirmClose(HWND hwnd) {
    if (g_host.isVerifying) {
        return 0;
    }
    if (g_host.verifyPassword == nullptr) {
        g_host.isClosing = 1;
        return 1;
    }
    const DWORD now = GetTickCount();
    if (g_host.lastVerifyTick != 0xFFFFFFFFu &&
        TicksSince(g_host.lastVerifyTick, now) < kReaskGuardTicks) {
        return 0;
    }
    g_host.isVerifying = 1;
    // Frames that queued up before the dialog would only delay it.
    MSG pending;
    PeekMessageA(&pending, hwnd, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    PeekMessageA(&pending, hwnd, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    // The window's own default processing asks the verifier; its verdict is kept as it comes.
    g_host.isClosing = static_cast<int>(SendMessageA(hwnd, WM_APP, 0, 0));
    g_host.isVerifying = 0;
    if (!g_host.isClosing) {
        SetCursor(nullptr);
    }
    g_host.lastVerifyTick = GetTickCount();
    return static_cast<DWORD>(g_host.isClosing);
}

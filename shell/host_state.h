// host_state.h -- the host's one process-wide record, shared by start-up, window, close rules and
// password check; the saver hooks never touch it.
#pragma once

#include <windows.h>
#include <imm.h>

// VerifyScreenSavePwd of "PASSWORD.CPL": nonzero when the user's password was accepted.
typedef BOOL(WINAPI* VerifyScreenSavePwdProc)(HWND window);
// ImmAssociateContext of "IMM32.DLL".
typedef HIMC(WINAPI* ImmAssociateContextProc)(HWND window, HIMC context);

struct HostState {
    HINSTANCE instance;
    int isWin9x;
    HWND saverWindow;
    int isPreview;
    int isClosing;   // a close of the full-screen saver is confirmed
    int isVerifying; // the password verifier is running
    HMODULE passwordModule;
    VerifyScreenSavePwdProc verifyPassword; // null: no password protection in force
    UINT autoPlayMessage;
    HMODULE imeModule;
    ImmAssociateContextProc associateContext;
    HIMC savedImeContext;
    POINT startCursor; // reference point of the mouse-move test
    DWORD mouseMoveThreshold;
    DWORD lastVerifyTick; // 0xFFFFFFFF: no verification has run yet
};

extern HostState g_host;

// Puts the record back to its values at process start (tests use it between cases).
void ResetHostState();

// Marks the screen saver as running for the system; Windows 9x only.
BOOL SetScreenSaverRunning(BOOL on);

// password.h -- close-time password verification through the system's verifier (Windows 9x).
#pragma once

#include <windows.h>

// Binds "PASSWORD.CPL" when the user's screen-saver password is switched on.
void LoadPasswordVerifier();
void UnloadPasswordVerifier();
// Nonzero when the saver may close: no protection, or the verifier accepted.
DWORD ConfirmClose(HWND hwnd);
// now - then, right across the wrap of the tick counter.
DWORD TicksSince(DWORD then, DWORD now);

// host_window_class.h -- a test's own window class run by the host's class procedure, styled as
// the saver's.
#pragma once

#include <windows.h>

#include "shell/default_proc.h"

// Registers the class once per process under the given name.
inline void RegisterHostWindowClass(const char* name) {
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
    wc.lpfnWndProc = HostWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = name;
    RegisterClassA(&wc); // fails harmlessly when it exists already
}

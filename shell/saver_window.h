// saver_window.h -- the saver window of both picture modes and its message loop.
#pragma once

#include <windows.h>

// Full screen when parent is null, else a preview filling the parent's client area. Returns the
// loop's exit code; -1 when no window could be made.
int RunSaverWindow(HWND parent);

// default_proc.h -- the saver window's class procedure and the host's default processing.
#pragma once

#include <windows.h>

// Sees every message first: input method, cursor, title, system commands, help, frames.
LRESULT CALLBACK HostWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// What the saver's own procedure does not handle: the closing rules and the password check.
LRESULT CALLBACK DefSaverWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

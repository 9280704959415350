// saver_hooks.h -- the three hooks through which the host reaches the picture.
#pragma once

#include <windows.h>

#include "frames/elapsed.h"
#include "frames/frame_pacer.h"
#include "frames/frame_step.h"

// The saver window's one view: its frames, and their cadence, no more frames than the display
// shows.
struct SaverView {
    FrameLoop frames;
    FramePacer pacer;             // started at window creation with the display's period
    double (*readMilliseconds)(); // a steady clock; ReadSteadyMilliseconds unless replaced
};
extern SaverView g_saverView;

// The saver window's own messages: creation, timer frames, size changes and destruction; the rest
// goes to DefSaverWindowProc.
LRESULT CALLBACK SaverWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Called first with every message the hooks handle; the tests make it throw or take the window's
// pixel format. Null in the saver.
extern void (*g_saverHookProbe)(HWND hwnd, UINT msg);
// The configuration dialog (template 2003): 1 for OK, 0 for Cancel.
INT_PTR CALLBACK SaverConfigureDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
// Called before the configuration dialog; FALSE keeps it from showing.
BOOL WINAPI SaverRegisterDialogClasses(HANDLE instance);

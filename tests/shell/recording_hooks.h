// recording_hooks.h -- stand-in saver hooks that record what the host passes on.
#pragma once

#include <windows.h>

#include <vector>

struct HookRecord {
    std::vector<UINT> messages; // every message SaverWindowProc saw
    int frames;                 // WM_TIMER messages that reached it
    UINT swallow;               // a message it answers with 0 instead of passing on
    BOOL registerResult;        // what SaverRegisterDialogClasses returns
    int registerCalls;
};

extern HookRecord g_hooks;

void ResetHooks();
bool HookSaw(UINT msg);

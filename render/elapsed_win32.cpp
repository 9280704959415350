// elapsed_win32.cpp -- the frame clock's millisecond counter on Windows, counted from the saver's
// start.
#include <windows.h>

#include "model/scene.h"

static LONGLONG ReadCounter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

static const LONGLONG g_startCount = ReadCounter();

// The performance counter rather than GetTickCount, whose 10 to 16 ms steps would make every
// other frame's dt zero at the saver's frame rate.
int ReadElapsedMilliseconds() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const LONGLONG elapsed = ReadCounter() - g_startCount;
    return static_cast<int>(elapsed / frequency.QuadPart * 1000 +
                            elapsed % frequency.QuadPart * 1000 / frequency.QuadPart);
}

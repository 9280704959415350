// elapsed_win32.cpp -- the frame clock's millisecond counter on Windows, counted from the saver's
// start.
#include <windows.h>

#include "frames/elapsed.h"

static LONGLONG ReadCounter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

static const LONGLONG g_startCount = ReadCounter();

// Whole seconds and the rest apart, so that counts * 1000 cannot overflow; the result wraps after
// 24.8 days as the Linux counter does, and the frame clock takes the step across the wrap.
int CountsToMilliseconds(int64_t counts, int64_t frequency) {
    const int64_t milliseconds = counts / frequency * 1000 + counts % frequency * 1000 / frequency;
    return static_cast<int>(static_cast<uint32_t>(milliseconds));
}

double ReadSteadyMilliseconds() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(ReadCounter()) / static_cast<double>(frequency.QuadPart);
}

// The performance counter rather than GetTickCount, whose 10 to 16 ms steps would make every
// other frame's dt zero at the saver's frame rate.
int ReadElapsedMilliseconds() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return CountsToMilliseconds(ReadCounter() - g_startCount, frequency.QuadPart);
}

// Kernel and user time together, in 100 ns units.
double ReadProcessCpuMilliseconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return 0.0;
    }
    const auto units = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime);
    };
    return (units(kernel) + units(user)) / 10000.0;
}

// elapsed_posix.cpp -- the frame clock's millisecond counter on Linux: CLOCK_MONOTONIC, counted
// from the program's start.
#include "frames/elapsed.h"

#include <ctime>

// The monotonic clock's whole milliseconds, wrapped to 32 bits as the counter's readings are.
static int ReadMonotonicMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t milliseconds =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<int>(static_cast<uint32_t>(milliseconds));
}

static const int g_startMilliseconds = ReadMonotonicMilliseconds();

// The count turns negative after 24.8 days; a signed subtraction across that would overflow.
int MillisecondsBetween(int start, int now) {
    return static_cast<int>(static_cast<uint32_t>(now) - static_cast<uint32_t>(start));
}

double ReadSteadyMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

int ReadElapsedMilliseconds() {
    return MillisecondsBetween(g_startMilliseconds, ReadMonotonicMilliseconds());
}

double ReadProcessCpuMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

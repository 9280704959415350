// elapsed_glut.cpp -- the frame clock's millisecond counter on Linux: GLUT's elapsed time,
// counted from the program's start.
#include "render/elapsed.h"

#include "model/scene.h"

#include <GL/freeglut.h>

#include <ctime>

// freeglut answers this one query without glutInit, but then counts from its clock's epoch.
static const int g_startMilliseconds = glutGet(GLUT_ELAPSED_TIME);

// GLUT's count turns negative after 24.8 days; a signed subtraction across that would overflow.
int MillisecondsBetween(int start, int now) {
    return static_cast<int>(static_cast<uint32_t>(now) - static_cast<uint32_t>(start));
}

double ReadSteadyMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

int ReadElapsedMilliseconds() {
    return MillisecondsBetween(g_startMilliseconds, glutGet(GLUT_ELAPSED_TIME));
}

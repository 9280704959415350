// elapsed_glut.cpp -- the frame clock's millisecond counter on Linux: GLUT's elapsed time,
// counted from the program's start.
#include "model/scene.h"

#include <GL/freeglut.h>

// freeglut answers this one query without glutInit, but then counts from its clock's epoch.
static const int g_startMilliseconds = glutGet(GLUT_ELAPSED_TIME);

int ReadElapsedMilliseconds() {
    return glutGet(GLUT_ELAPSED_TIME) - g_startMilliseconds;
}

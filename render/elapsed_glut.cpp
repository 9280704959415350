// elapsed_glut.cpp -- the frame clock's millisecond counter on Linux: GLUT's elapsed time.
#include "model/scene.h"

#include <GL/freeglut.h>

// freeglut answers this one query without glutInit.
int ReadElapsedMilliseconds() {
    return glutGet(GLUT_ELAPSED_TIME);
}

// gl.h -- the OpenGL 1.1 header, included the way each platform needs it.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h> // GL/gl.h needs WINGDIAPI and APIENTRY from here
#endif
#include <GL/gl.h>

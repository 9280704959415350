// gl_presenter.h -- frames drawn with OpenGL on the platform's context (render/gl_context.h).
#pragma once

#include "frames/presenter.h"

// The surface is CreateGLContext's window argument: an HWND on Windows, an X11View on X11, a
// HeadlessView for the off-screen context. Its start makes the context, asks for one swap per
// refresh and sets the fixed state for the model's scene; its rows are read back from GL.
extern const Presenter kGlPresenter;

// Whether a GL_RENDERER string names a software rasteriser: one of Mesa's (llvmpipe, softpipe,
// swrast, which calls itself "Software Rasterizer") or Windows' own OpenGL 1.1 ("GDI Generic").
bool IsSoftwareRenderer(const char* renderer);

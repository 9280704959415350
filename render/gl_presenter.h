// gl_presenter.h -- frames drawn with OpenGL on the platform's context (render/gl_context.h).
#pragma once

#include "frames/presenter.h"

// The surface is CreateGLContext's window argument: an HWND on Windows, an X11View on X11, a
// HeadlessView for the off-screen context. Its start makes the context, asks for one swap per
// refresh and sets the fixed state (which resets the scene, as creating a context always has).
extern const Presenter kGlPresenter;

// The GL_RENDERER string of the started presenter's context; null before it starts.
const char* GlPresenterRenderer();

// gdi_presenter_win32.h -- the picture drawn on the processor into a DIB section, shown with GDI.
#pragma once

#include "frames/presenter.h"

// Surface: the window's HWND; frames fill its client area from the top-left corner. It makes no
// GL call, so it may follow a GL context on the same window once that context is released.
extern const Presenter kGdiPresenter;

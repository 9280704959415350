// null_presenter_win32.h -- the presenter of last resort: no frames, only the background.
#pragma once

#include "frames/presenter.h"

// Surface: the window's HWND. It always starts, and makes the window's background the scene's
// clear colour, which the system paints wherever the window is shown; its frames draw nothing.
// The saver still runs, and closes, by the same rules.
extern const Presenter kNullPresenter;

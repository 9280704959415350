// image_presenter_x11.h -- the image presenter: the picture drawn on the processor into an X image
// of the window's own visual, shown with MIT-SHM where the server allows it, XPutImage where not.
#pragma once

#include "frames/presenter.h"

// The surface is an X11View. The window's visual must be 24- or 32-bit TrueColor with 8-bit
// channels (any order) in 32-bit pixels; start refuses any other, saying why.
extern const Presenter kImagePresenter;

// null_presenter_win32.cpp -- the presenter of last resort: the window's class brush in the clear
// colour, so that the desktop stays hidden where neither GL nor GDI can show frames.
#include "shell/null_presenter_win32.h"

#include <windows.h>

#include "model/field.h"

namespace {

struct NullFrames {
    HWND window;
    HBRUSH brush;
    LONG_PTR classBrush; // the class's own, given back at the end
};

void* StartNull(void* surface, const ModelState& model, std::string*) {
    const SceneParams& s = model.scene;
    NullFrames* frames = new NullFrames{static_cast<HWND>(surface), nullptr, 0};
    frames->brush = CreateSolidBrush(RGB(GLColourByte(static_cast<float>(s.clearRed)),
                                         GLColourByte(static_cast<float>(s.clearGreen)),
                                         GLColourByte(static_cast<float>(s.clearBlue))));
    frames->classBrush = SetClassLongPtrA(frames->window, GCLP_HBRBACKGROUND,
                                          reinterpret_cast<LONG_PTR>(frames->brush));
    InvalidateRect(frames->window, nullptr, TRUE);
    return frames;
}

void ResizeNull(void*, const ModelState&) {}

bool DrawNull(void*, const ModelState&, const char*) {
    return false; // nothing to present: the background is all there is
}

void PresentNull(void*) {}

void StopNull(void* instance) {
    NullFrames* frames = static_cast<NullFrames*>(instance);
    SetClassLongPtrA(frames->window, GCLP_HBRBACKGROUND, frames->classBrush);
    DeleteObject(frames->brush);
    delete frames;
}

} // namespace

// It stands where the picture would: the background is what the picture shows before a frame.
const Presenter kNullPresenter = {PresentChoice::kImage, StartNull, ResizeNull, DrawNull,
                                  PresentNull,           StopNull,  nullptr,    nullptr,
                                  [](void*) { return false; }};

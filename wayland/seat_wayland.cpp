// seat_wayland.cpp -- ripplefield-wayland's seat: keys, buttons and pointer motion, and the
// closing rules they meet.
#include "wayland/client_wayland.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// The Windows saver's rule: the pointer has moved when |dx| + |dy| from where it first came in
// passes this many pixels.
constexpr int kMotionThreshold = 4;
// xkb key codes are the compositor's key codes plus 8.
constexpr uint32_t kXkbKeyOffset = 8;

// --window's keys are found by what they type in the compositor's keymap: q on any layout.
bool IsWindowKey(uint32_t key) {
    if (g_wl.keyState == nullptr) {
        return false;
    }
    const xkb_keysym_t sym = xkb_state_key_get_one_sym(g_wl.keyState, key + kXkbKeyOffset);
    return sym == XKB_KEY_q || sym == XKB_KEY_Q || sym == XKB_KEY_Escape;
}

void ReleaseKeymap() {
    xkb_state_unref(g_wl.keyState);
    xkb_keymap_unref(g_wl.keymap);
    g_wl.keyState = nullptr;
    g_wl.keymap = nullptr;
}

void OnKeymap(void*, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    if (!g_wl.options.window || format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
        close(fd);
        return;
    }
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (text == MAP_FAILED) {
        return;
    }
    ReleaseKeymap();
    if (g_wl.xkb == nullptr) {
        g_wl.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    }
    g_wl.keymap =
        g_wl.xkb == nullptr
            ? nullptr
            : xkb_keymap_new_from_buffer(g_wl.xkb, static_cast<const char*>(text),
                                         strnlen(static_cast<const char*>(text), size),
                                         XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    g_wl.keyState = g_wl.keymap != nullptr ? xkb_state_new(g_wl.keymap) : nullptr;
}
void OnKeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void OnKeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}

// Any key ends the saver; --window only q and Escape.
void OnKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED && (!g_wl.options.window || IsWindowKey(key))) {
        Stop(0);
    }
}

void OnModifiers(void*, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched,
                 uint32_t locked, uint32_t group) {
    if (g_wl.keyState != nullptr) {
        xkb_state_update_mask(g_wl.keyState, depressed, latched, locked, 0, 0, group);
    }
}
void OnRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener kKeyboardListener = {OnKeymap, OnKeyboardEnter, OnKeyboardLeave,
                                                OnKey,    OnModifiers,     OnRepeatInfo};

// Motion ends the saver once it has gone past the threshold from the reference point, in the
// view's physical pixels.
void CheckMotion(double x, double y) {
    const View* view = FindView(g_wl.pointerSurface);
    if (g_wl.options.window || view == nullptr || g_wl.pointerSurface != g_wl.referenceSurface) {
        return;
    }
    const double moved =
        (std::abs(x - g_wl.referenceX) + std::abs(y - g_wl.referenceY)) * view->scale;
    if (moved > kMotionThreshold) {
        Stop(0);
    }
}

// The first surface the pointer comes into is where motion counts from. Coming into another one
// means the pointer has crossed to another output, unless the first has gone.
void OnPointerEnter(void*, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t x,
                    wl_fixed_t y) {
    g_wl.pointerSurface = surface;
    if (g_wl.options.window) {
        return;
    }
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0); // the saver shows no pointer
    const double px = wl_fixed_to_double(x);
    const double py = wl_fixed_to_double(y);
    if (g_wl.referenceSurface == nullptr) {
        g_wl.referenceSurface = surface;
        g_wl.referenceX = px;
        g_wl.referenceY = py;
    } else if (surface != g_wl.referenceSurface) {
        Stop(0);
    } else {
        CheckMotion(px, py);
    }
}

void OnPointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) {
    g_wl.pointerSurface = nullptr;
}

void OnPointerMotion(void*, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    CheckMotion(wl_fixed_to_double(x), wl_fixed_to_double(y));
}

void OnPointerButton(void*, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
    if (state == WL_POINTER_BUTTON_STATE_PRESSED && !g_wl.options.window) {
        Stop(0);
    }
}

void OnPointerAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void OnPointerFrame(void*, wl_pointer*) {}
void OnAxisSource(void*, wl_pointer*, uint32_t) {}
void OnAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void OnAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void OnAxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}

const wl_pointer_listener kPointerListener = {
    OnPointerEnter, OnPointerLeave, OnPointerMotion, OnPointerButton, OnPointerAxis,
    OnPointerFrame, OnAxisSource,   OnAxisStop,      OnAxisDiscrete,  OnAxisValue120};

void OnSeatCapabilities(void*, wl_seat* seat, uint32_t capabilities) {
    const bool pointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    const bool keyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    if (pointer && g_wl.pointer == nullptr) {
        g_wl.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(g_wl.pointer, &kPointerListener, nullptr);
    } else if (!pointer && g_wl.pointer != nullptr) {
        g_wl.seatVersion >= 3 ? wl_pointer_release(g_wl.pointer) : wl_pointer_destroy(g_wl.pointer);
        g_wl.pointer = nullptr;
        g_wl.pointerSurface = nullptr;
    }
    if (keyboard && g_wl.keyboard == nullptr) {
        g_wl.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(g_wl.keyboard, &kKeyboardListener, nullptr);
    } else if (!keyboard && g_wl.keyboard != nullptr) {
        g_wl.seatVersion >= 3 ? wl_keyboard_release(g_wl.keyboard)
                              : wl_keyboard_destroy(g_wl.keyboard);
        g_wl.keyboard = nullptr;
    }
}

void OnSeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener kSeatListener = {OnSeatCapabilities, OnSeatName};

} // namespace

void BindSeat(wl_registry* registry, uint32_t name, uint32_t version) {
    if (g_wl.seat != nullptr) {
        return; // the first seat is the user's
    }
    g_wl.seatVersion = std::min(version, 5u);
    g_wl.seat = static_cast<wl_seat*>(
        wl_registry_bind(registry, name, &wl_seat_interface, g_wl.seatVersion));
    wl_seat_add_listener(g_wl.seat, &kSeatListener, nullptr);
}

void ForgetSurface(wl_surface* surface) {
    if (g_wl.referenceSurface == surface) {
        g_wl.referenceSurface = nullptr; // the next surface the pointer comes into starts anew
    }
    if (g_wl.pointerSurface == surface) {
        g_wl.pointerSurface = nullptr;
    }
}

void ReleaseSeat() {
    ReleaseKeymap();
    xkb_context_unref(g_wl.xkb);
    g_wl.xkb = nullptr;
    const bool newSeat = g_wl.seatVersion >= 3;
    if (g_wl.pointer != nullptr) {
        newSeat ? wl_pointer_release(g_wl.pointer) : wl_pointer_destroy(g_wl.pointer);
    }
    if (g_wl.keyboard != nullptr) {
        newSeat ? wl_keyboard_release(g_wl.keyboard) : wl_keyboard_destroy(g_wl.keyboard);
    }
    if (g_wl.seat != nullptr) {
        g_wl.seatVersion >= 5 ? wl_seat_release(g_wl.seat) : wl_seat_destroy(g_wl.seat);
    }
    g_wl.pointer = nullptr;
    g_wl.keyboard = nullptr;
    g_wl.seat = nullptr;
}

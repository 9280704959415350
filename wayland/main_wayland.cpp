// main_wayland.cpp -- ripplefield-wayland: the picture on every output of a Wayland compositor,
// in overlay layer surfaces (or full-screen toplevels where there is no layer shell), until input.
//
// Flow of control: main -> options -> connect -> registry (compositor, shm, shells, seat, and
// one record per output) -> one view per output once its size and scale are known -> loop: wait
// for the compositor or a signal; configure sizes a view's buffers, and each frame callback runs
// one StepFrame under that view's own scene and asks for the next -> views released -> exit code.
#include "frames/elapsed.h"
#include "frames/frame_pacer.h"
#include "frames/frame_step.h"
#include "frames/run_settings.h"
#include "frames/stop_signals_posix.h"
#include "model/scene.h"
#include "model/text.h"
#include "wayland/layer_shell_wayland.h"
#include "wayland/options.h"
#include "wayland/shm_presenter_wayland.h"

#include "xdg-shell-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr int kExitFailed = 1;
constexpr int kWindowWidth = 1024; // --window's size until the compositor gives one
constexpr int kWindowHeight = 768;
// The Windows saver's rule: the pointer has moved when |dx| + |dy| from where it first came in
// passes this many pixels.
constexpr int kMotionThreshold = 4;
// xkb key codes are the compositor's key codes plus 8.
constexpr uint32_t kXkbKeyOffset = 8;

struct Output;

// One surface shown: an output's (layer surface or full-screen toplevel) or --window's. Each has
// its own scene, swapped into the process's one model around its frames.
struct View {
    ShmSurface shm; // shm.surface is the view's wl_surface
    zwlr_layer_surface_v1* layer;
    xdg_surface* xdgSurface;
    xdg_toplevel* toplevel;
    wl_callback* frame;              // the frame callback asked for, null when none is pending
    Output* output;                  // null for --window
    int scale;                       // buffer scale: physical pixels per surface pixel
    int bufferScale;                 // the scale committed with the last buffer
    int width, height;               // surface-local, from the last configure; 0 before it
    int pendingWidth, pendingHeight; // a toplevel's size until its surface's configure
    bool started;
    bool closed; // the compositor's closed event
    ModelState model;
    FpsCounter fps;
    FramePacer pacer; // --max-fps
};

// One wl_output and what it has said about itself.
struct Output {
    wl_output* output;
    uint32_t global;
    uint32_t version;
    std::string name;
    int scale;
    int modeWidth, modeHeight;
    bool done;
    std::unique_ptr<View> view;
};

// The process-wide record of the Wayland side.
struct WaylandState {
    WaylandOptions options;
    wl_display* display;
    wl_registry* registry;
    wl_compositor* compositor;
    wl_shm* shm;
    zwlr_layer_shell_v1* layerShell;
    xdg_wm_base* wmBase;
    wl_seat* seat;
    uint32_t seatVersion;
    wl_pointer* pointer;
    wl_keyboard* keyboard;
    xkb_context* xkb; // --window: what the keys type
    xkb_keymap* keymap;
    xkb_state* keyState;
    std::vector<std::unique_ptr<Output>> outputs;
    std::unique_ptr<View> window; // --window
    bool useLayerShell;
    bool ready; // the globals are known: outputs may be covered
    bool frozen;
    uint32_t frozenSeed;
    int32_t frozenMilliseconds;
    uint32_t viewsMade; // each scene gets its own seed
    bool hadViews;
    // Where the pointer first came in: the closing rule counts motion from there.
    wl_surface* pointerSurface;
    wl_surface* referenceSurface;
    double referenceX, referenceY;
    bool closedSeen; // a closed event to look into once the compositor's other news is in
    bool stop;
    int exitCode;
};

WaylandState g_wl = {};
long long g_framesShown = 0;

void ReportError(const std::string& message) {
    PrintLine("ripplefield-wayland: " + message);
}

void Stop(int exitCode) {
    if (!g_wl.stop) {
        g_wl.stop = true;
        g_wl.exitCode = exitCode;
    }
}

// The view's scene, readout counter and buffers become the process's for a while.
void EnterView(View* view) {
    std::swap(g_model, view->model);
    std::swap(g_frameLoop.fps, view->fps);
    UseShmSurface(&view->shm);
}

void LeaveView(View* view) {
    std::swap(g_model, view->model);
    std::swap(g_frameLoop.fps, view->fps);
}

View* FindView(wl_surface* surface) {
    if (g_wl.window && g_wl.window->shm.surface == surface) {
        return g_wl.window.get();
    }
    for (const auto& output : g_wl.outputs) {
        if (output->view && output->view->shm.surface == surface) {
            return output->view.get();
        }
    }
    return nullptr;
}

void DrawView(View* view);

void OnFrameDone(void* data, wl_callback* callback, uint32_t) {
    View* view = static_cast<View*>(data);
    wl_callback_destroy(callback);
    view->frame = nullptr;
    DrawView(view);
}

const wl_callback_listener kFrameListener = {OnFrameDone};

// Called for the first configure and from each frame callback: asks for the next callback, and
// draws a frame unless --max-fps says it is too early. Nothing else draws, so an output that
// shows nothing (hidden, powered down) costs nothing.
void DrawView(View* view) {
    wl_surface* surface = view->shm.surface;
    view->frame = wl_surface_frame(surface);
    wl_callback_add_listener(view->frame, &kFrameListener, view);
    if (g_wl.options.maxFps == 0 || TakeFrameSlot(&view->pacer, ReadSteadyMilliseconds())) {
        EnterView(view);
        const bool shown = StepFrame();
        LeaveView(view);
        // The scale goes with the first buffer of the new size, which it divides.
        if (shown && view->bufferScale != view->scale) {
            wl_surface_set_buffer_scale(surface, view->scale);
            view->bufferScale = view->scale;
        }
        g_framesShown += shown;
    }
    wl_surface_commit(surface);
}

// A configure has given the view its size (in surface pixels) and the output its scale: the
// buffers follow, the first time with a new scene, and the first frame goes out.
void ApplySize(View* view) {
    if (view->width <= 0 || view->height <= 0) {
        return;
    }
    const int width = view->width * view->scale;
    const int height = view->height * view->scale;
    EnterView(view);
    if (!view->started) {
        std::string error;
        if (!kShmPresenter.start(&view->shm, width, height, &error)) {
            LeaveView(view);
            ReportError(error);
            Stop(kExitFailed);
            return;
        }
        const uint32_t seed =
            g_wl.frozen ? g_wl.frozenSeed
                        : static_cast<uint32_t>(ReadSteadyMilliseconds()) + 7919u * g_wl.viewsMade;
        StartScene(seed, width, height);
        StartFpsCounter(&g_frameLoop.fps, ReadSteadyMilliseconds(), ReadProcessCpuMilliseconds());
        StartFramePacer(&view->pacer, g_wl.options.maxFps > 0 ? 1000.0 / g_wl.options.maxFps : 0.0);
        view->started = true;
        ++g_wl.viewsMade;
    } else if (width != view->shm.width || height != view->shm.height) {
        kShmPresenter.resize(width, height);
    }
    LeaveView(view);
    if (view->frame == nullptr) {
        DrawView(view); // else the callback draws, and commits the acknowledgement with it
    }
}

void OnLayerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
                      uint32_t height) {
    View* view = static_cast<View*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    view->width = static_cast<int>(width);
    view->height = static_cast<int>(height);
    ApplySize(view);
}

void OnLayerClosed(void* data, zwlr_layer_surface_v1*) {
    static_cast<View*>(data)->closed = true;
    g_wl.closedSeen = true;
}

const zwlr_layer_surface_v1_listener kLayerListener = {OnLayerConfigure, OnLayerClosed};

void OnToplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
    View* view = static_cast<View*>(data);
    view->pendingWidth = width;
    view->pendingHeight = height;
}

void OnToplevelClose(void*, xdg_toplevel*) {
    Stop(0);
}

void OnToplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void OnToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}

const xdg_toplevel_listener kToplevelListener = {OnToplevelConfigure, OnToplevelClose,
                                                 OnToplevelBounds, OnToplevelCapabilities};

// A toplevel's size: the compositor's, else the output's in surface pixels, else --window's own.
void OnXdgSurfaceConfigure(void* data, xdg_surface* surface, uint32_t serial) {
    View* view = static_cast<View*>(data);
    xdg_surface_ack_configure(surface, serial);
    int width = view->pendingWidth;
    int height = view->pendingHeight;
    if (width <= 0 || height <= 0) {
        const Output* output = view->output;
        width = output ? output->modeWidth / std::max(output->scale, 1) : kWindowWidth;
        height = output ? output->modeHeight / std::max(output->scale, 1) : kWindowHeight;
    }
    view->width = width;
    view->height = height;
    ApplySize(view);
}

const xdg_surface_listener kXdgSurfaceListener = {OnXdgSurfaceConfigure};

// --window takes the scale of the output it is shown on.
void OnSurfaceEnter(void* data, wl_surface*, wl_output* entered) {
    View* view = static_cast<View*>(data);
    for (const auto& output : g_wl.outputs) {
        if (output->output == entered && view->output == nullptr && output->scale != view->scale) {
            view->scale = output->scale;
            ApplySize(view);
        }
    }
}

void OnSurfaceLeave(void*, wl_surface*, wl_output*) {}

const wl_surface_listener kSurfaceListener = {OnSurfaceEnter, OnSurfaceLeave};

std::unique_ptr<View> CreateView(Output* output) {
    auto view = std::make_unique<View>();
    view->shm.fd = -1;
    view->shm.drawn = -1;
    view->output = output;
    view->scale = output ? std::max(output->scale, 1) : 1;
    view->bufferScale = 1;
    wl_surface* surface = wl_compositor_create_surface(g_wl.compositor);
    view->shm.surface = surface;
    wl_surface_add_listener(surface, &kSurfaceListener, view.get());
    if (output != nullptr && g_wl.useLayerShell) {
        view->layer =
            zwlr_layer_shell_v1_get_layer_surface(g_wl.layerShell, surface, output->output,
                                                  ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "ripplefield");
        zwlr_layer_surface_v1_set_size(view->layer, 0, 0);
        zwlr_layer_surface_v1_set_anchor(view->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP |
                                                          ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                          ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                          ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_exclusive_zone(view->layer, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(
            view->layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
        zwlr_layer_surface_v1_add_listener(view->layer, &kLayerListener, view.get());
    } else {
        view->xdgSurface = xdg_wm_base_get_xdg_surface(g_wl.wmBase, surface);
        xdg_surface_add_listener(view->xdgSurface, &kXdgSurfaceListener, view.get());
        view->toplevel = xdg_surface_get_toplevel(view->xdgSurface);
        xdg_toplevel_add_listener(view->toplevel, &kToplevelListener, view.get());
        xdg_toplevel_set_title(view->toplevel, "RippleField");
        xdg_toplevel_set_app_id(view->toplevel, "ripplefield");
        if (output != nullptr) {
            xdg_toplevel_set_fullscreen(view->toplevel, output->output);
        }
    }
    wl_surface_commit(surface); // no buffer: asks for the first configure
    g_wl.hadViews = true;
    return view;
}

void DestroyView(std::unique_ptr<View>* owner) {
    View* view = owner->get();
    if (view == nullptr) {
        return;
    }
    if (view->frame != nullptr) {
        wl_callback_destroy(view->frame);
    }
    if (view->started) {
        EnterView(view);
        kShmPresenter.stop();
        LeaveView(view);
    }
    if (view->layer != nullptr) {
        zwlr_layer_surface_v1_destroy(view->layer);
    }
    if (view->toplevel != nullptr) {
        xdg_toplevel_destroy(view->toplevel);
    }
    if (view->xdgSurface != nullptr) {
        xdg_surface_destroy(view->xdgSurface);
    }
    if (g_wl.referenceSurface == view->shm.surface) {
        g_wl.referenceSurface = nullptr; // the next surface the pointer comes into starts anew
    }
    if (g_wl.pointerSurface == view->shm.surface) {
        g_wl.pointerSurface = nullptr;
    }
    wl_surface_destroy(view->shm.surface);
    owner->reset();
}

// An output is covered once its size and scale are known, if --output allows.
void CoverOutput(Output* output) {
    if (g_wl.options.window || !g_wl.ready || !output->done || output->view || g_wl.stop) {
        return;
    }
    if (!g_wl.options.output.empty() && output->name != g_wl.options.output) {
        return;
    }
    output->view = CreateView(output);
}

void OnOutputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                      const char*, int32_t) {}

void OnOutputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    Output* output = static_cast<Output*>(data);
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        output->modeWidth = width;
        output->modeHeight = height;
    }
}

void OnOutputDone(void* data, wl_output*) {
    Output* output = static_cast<Output*>(data);
    output->done = true;
    View* view = output->view.get();
    if (view != nullptr && view->scale != output->scale) {
        view->scale = std::max(output->scale, 1);
        ApplySize(view);
    }
    CoverOutput(output);
}

void OnOutputScale(void* data, wl_output*, int32_t factor) {
    static_cast<Output*>(data)->scale = std::max(factor, 1);
}

void OnOutputName(void* data, wl_output*, const char* name) {
    static_cast<Output*>(data)->name = name;
}

void OnOutputDescription(void*, wl_output*, const char*) {}

const wl_output_listener kOutputListener = {OnOutputGeometry, OnOutputMode, OnOutputDone,
                                            OnOutputScale,    OnOutputName, OnOutputDescription};

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

void OnPing(void*, xdg_wm_base* base, uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}

const xdg_wm_base_listener kWmBaseListener = {OnPing};

void OnGlobal(void*, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    const auto bind = [&](const wl_interface* type, uint32_t most) {
        return wl_registry_bind(registry, name, type, std::min(version, most));
    };
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && version >= 4) {
        g_wl.compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        g_wl.shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
        SetShmGlobal(g_wl.shm);
    } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
        g_wl.layerShell =
            static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 1));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        g_wl.wmBase = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(g_wl.wmBase, &kWmBaseListener, nullptr);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && g_wl.seat == nullptr) {
        g_wl.seatVersion = std::min(version, 5u);
        g_wl.seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
        wl_seat_add_listener(g_wl.seat, &kSeatListener, nullptr);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto output = std::make_unique<Output>();
        output->global = name;
        output->version = std::min(version, 4u);
        output->scale = 1;
        output->output = static_cast<wl_output*>(bind(&wl_output_interface, 4));
        wl_output_add_listener(output->output, &kOutputListener, output.get());
        g_wl.outputs.push_back(std::move(output));
    }
}

// An output that goes takes its view with it; the saver ends when none is left.
void OnGlobalRemove(void*, wl_registry*, uint32_t name) {
    auto& outputs = g_wl.outputs;
    for (auto it = outputs.begin(); it != outputs.end(); ++it) {
        Output* output = it->get();
        if (output->global != name) {
            continue;
        }
        const bool hadView = output->view != nullptr;
        DestroyView(&output->view);
        output->version >= 3 ? wl_output_release(output->output)
                             : wl_output_destroy(output->output);
        outputs.erase(it);
        const bool anyView = std::any_of(outputs.begin(), outputs.end(),
                                         [](const auto& o) { return o->view != nullptr; });
        if (hadView && !anyView) {
            Stop(0);
        }
        return;
    }
}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

// A closed event either comes with its output's removal (which takes the view) or means the
// compositor wants the saver gone. The compositor's other news is in after a round trip.
void LookIntoClosed() {
    g_wl.closedSeen = false;
    if (wl_display_roundtrip(g_wl.display) < 0) {
        return; // the loop reports the lost connection
    }
    for (const auto& output : g_wl.outputs) {
        if (output->view && output->view->closed) {
            Stop(0);
        }
    }
}

std::string ConnectionError() {
    const int error = wl_display_get_error(g_wl.display);
    if (error == EPROTO) {
        return "the compositor ended the connection over a protocol error";
    }
    return std::string("lost the connection to the compositor (") +
           std::strerror(error != 0 ? error : EPIPE) + ")";
}

// Events until a stop: input, a signal, the compositor's close, the last output gone, or a lost
// connection (false).
bool RunLoop() {
    wl_display* display = g_wl.display;
    while (!g_wl.stop && !g_stopSignals.stop) {
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) {
                return false;
            }
        }
        if (g_wl.stop || g_stopSignals.stop) {
            wl_display_cancel_read(display);
            break;
        }
        if (wl_display_flush(display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display);
            return false;
        }
        pollfd fds[2] = {{wl_display_get_fd(display), POLLIN, 0},
                         {g_stopSignals.wakeFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) {
            wl_display_cancel_read(display);
            return false;
        }
        if (fds[1].revents & POLLIN) {
            DrainStopSignals();
        }
        if (fds[0].revents != 0) {
            if (wl_display_read_events(display) < 0) {
                return false;
            }
        } else {
            wl_display_cancel_read(display);
        }
        if (wl_display_dispatch_pending(display) < 0) {
            return false;
        }
        if (g_wl.closedSeen) {
            LookIntoClosed();
        }
        if (g_stopSignals.count) { // SIGUSR1: the frames shown so far, for benchmarks
            g_stopSignals.count = 0;
            std::fprintf(stderr, "frames=%lld\n", g_framesShown);
        }
    }
    return true;
}

// Every object of ours, then the connection.
void ReleaseAll() {
    for (auto& output : g_wl.outputs) {
        DestroyView(&output->view);
        output->version >= 3 ? wl_output_release(output->output)
                             : wl_output_destroy(output->output);
    }
    g_wl.outputs.clear();
    DestroyView(&g_wl.window);
    ReleaseKeymap();
    xkb_context_unref(g_wl.xkb);
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
    if (g_wl.layerShell != nullptr) {
        // Bound at version 1, which has no destroy request: the proxy goes on our side only.
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(g_wl.layerShell));
    }
    if (g_wl.wmBase != nullptr) {
        xdg_wm_base_destroy(g_wl.wmBase);
    }
    if (g_wl.shm != nullptr) {
        wl_shm_destroy(g_wl.shm);
    }
    if (g_wl.compositor != nullptr) {
        wl_compositor_destroy(g_wl.compositor);
    }
    wl_registry_destroy(g_wl.registry);
    wl_display_flush(g_wl.display);
    wl_display_disconnect(g_wl.display);
}

// The steps of a run after the command line: connection, globals, views, frames, release.
int RunWayland() {
    const char* freeze = std::getenv("RIPPLEFIELD_FREEZE");
    if (freeze != nullptr && freeze[0] != '\0') {
        if (!ParseFreeze(freeze, &g_wl.frozenSeed, &g_wl.frozenMilliseconds)) {
            ReportError(std::string("RIPPLEFIELD_FREEZE '") + freeze +
                        "' is not SEED,MILLISECONDS");
            return kExitFailed;
        }
        g_wl.frozen = true;
    }
    if (!InstallStopSignals(true)) {
        ReportError("cannot set up the signal handlers");
        return kExitFailed;
    }
    // libwayland would say this itself, on a line of its own.
    const char* socket = std::getenv("WAYLAND_DISPLAY");
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if ((runtimeDir == nullptr || runtimeDir[0] == '\0') &&
        std::getenv("WAYLAND_SOCKET") == nullptr && (socket == nullptr || socket[0] != '/')) {
        ReportError("XDG_RUNTIME_DIR is not set, so there is no Wayland compositor to connect to");
        return kExitFailed;
    }
    g_wl.display = wl_display_connect(nullptr);
    if (g_wl.display == nullptr) {
        ReportError(std::string("cannot connect to the Wayland compositor '") +
                    (socket != nullptr ? socket : "wayland-0") + "'");
        return kExitFailed;
    }
    g_wl.registry = wl_display_get_registry(g_wl.display);
    wl_registry_add_listener(g_wl.registry, &kRegistryListener, nullptr);
    // The globals, then what the outputs and the seat say about themselves.
    if (wl_display_roundtrip(g_wl.display) < 0 || wl_display_roundtrip(g_wl.display) < 0) {
        ReportError(ConnectionError());
        return kExitFailed;
    }
    // A test hook: the fallback that compositors without the layer shell get.
    const char* noLayer = std::getenv("RIPPLEFIELD_WAYLAND_NO_LAYER_SHELL");
    g_wl.useLayerShell = g_wl.layerShell != nullptr && !(noLayer != nullptr && noLayer[0] == '1');
    std::string missing;
    if (g_wl.compositor == nullptr) {
        missing = "wl_compositor version 4";
    } else if (g_wl.shm == nullptr) {
        missing = "wl_shm";
    } else if (g_wl.wmBase == nullptr && (g_wl.options.window || !g_wl.useLayerShell)) {
        missing = g_wl.options.window ? "xdg_wm_base" : "zwlr_layer_shell_v1 or xdg_wm_base";
    }
    if (!missing.empty()) {
        ReportError("the compositor offers no " + missing);
        ReleaseAll();
        return kExitFailed;
    }
    StartFrameLoop(&kShmPresenter, g_wl.options.showFps);
    if (g_wl.frozen) {
        FreezeFrameCounter(g_wl.frozenMilliseconds);
    }
    g_wl.ready = true;
    if (g_wl.options.window) {
        g_wl.window = CreateView(nullptr);
    } else {
        for (const auto& output : g_wl.outputs) {
            CoverOutput(output.get());
        }
        if (!g_wl.hadViews) {
            ReportError(g_wl.options.output.empty()
                            ? "the compositor has no output"
                            : "no output is named '" + g_wl.options.output + "'");
            ReleaseAll();
            return kExitFailed;
        }
    }
    if (!RunLoop()) {
        ReportError(ConnectionError());
        ReleaseAll(); // what the compositor held is gone with it; ours is freed
        return kExitFailed;
    }
    ReleaseAll();
    return g_wl.exitCode;
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    switch (ParseWaylandOptions(argc, argv, &g_wl.options, &error)) {
    case WaylandParse::kBad:
        ReportError(error);
        return kExitFailed;
    case WaylandParse::kHelp:
        std::fputs(kWaylandUsage, stdout);
        return 0;
    case WaylandParse::kVersion:
        std::fputs(kWaylandVersion, stdout);
        return 0;
    case WaylandParse::kRun:
        break;
    }
    return RunWayland();
}

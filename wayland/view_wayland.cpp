// view_wayland.cpp -- ripplefield-wayland's views: a surface per output in the layer shell's
// overlay layer (or a full-screen toplevel where there is none), or --window's toplevel; their
// sizes, and their frames, drawn when the compositor asks for them.
#include "frames/elapsed.h"
#include "wayland/client_wayland.h"
#include "wayland/layer_shell_wayland.h"

#include "xdg-shell-client-protocol.h"

#include <algorithm>

namespace {

constexpr int kWindowWidth = 1024; // --window's size until the compositor gives one
constexpr int kWindowHeight = 768;

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
    view->frame = wl_surface_frame(view->surface);
    wl_callback_add_listener(view->frame, &kFrameListener, view);
    if (g_wl.options.maxFps == 0 || TakeFrameSlot(&view->pacer, ReadSteadyMilliseconds())) {
        const bool shown = StepFrame(view->loop);
        // The scale goes with the first buffer of the new size, which it divides.
        if (shown && view->bufferScale != view->scale) {
            wl_surface_set_buffer_scale(view->surface, view->scale);
            view->bufferScale = view->scale;
        }
        g_wl.framesShown += shown;
    }
    wl_surface_commit(view->surface);
}

// The scene of a new view: frozen, or seeded from the clock and the views made before it.
void StartView(View* view, int width, int height) {
    const RunSettings& settings = g_wl.settings;
    const uint32_t seed =
        settings.frozen ? settings.seed
                        : static_cast<uint32_t>(ReadSteadyMilliseconds()) + 7919u * g_wl.viewsMade;
    StartFrameLoop(view->loop, seed, width, height, g_wl.options.showFps);
    if (settings.frozen) {
        FreezeFrameCounter(view->loop, settings.frozenMilliseconds);
    }
    StartFramePacer(&view->pacer, g_wl.options.maxFps > 0 ? 1000.0 / g_wl.options.maxFps : 0.0);
    ++g_wl.viewsMade;
}

// A configure has given the view its size (in surface pixels) and the output its scale: the
// frames follow, the first time with a new scene, and the first frame goes out.
void ApplySize(View* view) {
    if (view->width <= 0 || view->height <= 0) {
        return;
    }
    const int width = view->width * view->scale;
    const int height = view->height * view->scale;
    if (!view->started) {
        StartView(view, width, height);
        std::string error;
        void* frames = kShmPresenter.start(&view->target, view->loop.model, &error);
        if (frames == nullptr) {
            ReportError(error);
            Stop(kExitFailed);
            return;
        }
        AttachPresenter(view->loop, &kShmPresenter, frames);
        view->started = true;
    } else if (width != view->loop.model.scene.viewWidth ||
               height != view->loop.model.scene.viewHeight) {
        ResizeFrames(view->loop, width, height);
    }
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
        if (output->output == entered && view->output == nullptr) {
            ScaleView(view, output->scale);
        }
    }
}

void OnSurfaceLeave(void*, wl_surface*, wl_output*) {}

const wl_surface_listener kSurfaceListener = {OnSurfaceEnter, OnSurfaceLeave};

// The overlay layer, above panels, over the whole output, taking the keyboard.
void GiveLayerRole(View* view, Output* output) {
    view->layer =
        zwlr_layer_shell_v1_get_layer_surface(g_wl.layerShell, view->surface, output->output,
                                              ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "ripplefield");
    zwlr_layer_surface_v1_set_size(view->layer, 0, 0);
    zwlr_layer_surface_v1_set_anchor(
        view->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                         ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(view->layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        view->layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    zwlr_layer_surface_v1_add_listener(view->layer, &kLayerListener, view);
}

// A toplevel: full screen on the output, or --window's ordinary window.
void GiveToplevelRole(View* view, Output* output) {
    view->xdgSurface = xdg_wm_base_get_xdg_surface(g_wl.wmBase, view->surface);
    xdg_surface_add_listener(view->xdgSurface, &kXdgSurfaceListener, view);
    view->toplevel = xdg_surface_get_toplevel(view->xdgSurface);
    xdg_toplevel_add_listener(view->toplevel, &kToplevelListener, view);
    xdg_toplevel_set_title(view->toplevel, "RippleField");
    xdg_toplevel_set_app_id(view->toplevel, "ripplefield");
    if (output != nullptr) {
        xdg_toplevel_set_fullscreen(view->toplevel, output->output);
    }
}

} // namespace

void ScaleView(View* view, int scale) {
    scale = std::max(scale, 1);
    if (view->scale != scale) {
        view->scale = scale;
        ApplySize(view);
    }
}

std::unique_ptr<View> CreateView(Output* output) {
    auto view = std::make_unique<View>();
    view->output = output;
    view->scale = output ? std::max(output->scale, 1) : 1;
    view->bufferScale = 1;
    view->surface = wl_compositor_create_surface(g_wl.compositor);
    view->target = ShmTarget{g_wl.shm, view->surface};
    wl_surface_add_listener(view->surface, &kSurfaceListener, view.get());
    if (output != nullptr && g_wl.useLayerShell) {
        GiveLayerRole(view.get(), output);
    } else {
        GiveToplevelRole(view.get(), output);
    }
    wl_surface_commit(view->surface); // no buffer: asks for the first configure
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
    StopFrameLoop(view->loop);
    if (view->layer != nullptr) {
        zwlr_layer_surface_v1_destroy(view->layer);
    }
    if (view->toplevel != nullptr) {
        xdg_toplevel_destroy(view->toplevel);
    }
    if (view->xdgSurface != nullptr) {
        xdg_surface_destroy(view->xdgSurface);
    }
    ForgetSurface(view->surface);
    wl_surface_destroy(view->surface);
    owner->reset();
}

View* FindView(wl_surface* surface) {
    if (g_wl.window && g_wl.window->surface == surface) {
        return g_wl.window.get();
    }
    for (const auto& output : g_wl.outputs) {
        if (output->view && output->view->surface == surface) {
            return output->view.get();
        }
    }
    return nullptr;
}

// view_wayland.cpp -- ripplefield-wayland's views: a surface per output in the layer shell's
// overlay layer (or a full-screen toplevel where there is none), or --window's toplevel; their
// sizes, and their frames, drawn when the compositor asks for them.
#include "frames/elapsed.h"
#include "wayland/client_wayland.h"
#include "wayland/layer_shell_wayland.h"

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include "picture/picture.h"

#include <algorithm>

namespace {

constexpr int kWindowWidth = 1024; // --window's size until the compositor gives one
constexpr int kWindowHeight = 768;

// The buffer scale and the viewport go with the first buffer of a new size, which they map.
void CommitMapping(View* view, const ViewSize& size) {
    const ViewSize& was = view->committed;
    if (size.bufferScale != was.bufferScale) {
        wl_surface_set_buffer_scale(view->surface, size.bufferScale);
    }
    if (view->viewport != nullptr &&
        (size.destWidth != was.destWidth || size.destHeight != was.destHeight)) {
        size.destWidth > 0
            ? wp_viewport_set_destination(view->viewport, size.destWidth, size.destHeight)
            : wp_viewport_set_destination(view->viewport, -1, -1);
    }
    view->committed = size;
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
    view->frame = wl_surface_frame(view->surface);
    wl_callback_add_listener(view->frame, &kFrameListener, view);
    if (g_wl.options.maxFps == 0 || TakeFrameSlot(&view->pacer, ReadSteadyMilliseconds())) {
        const bool shown = StepFrame(view->loop);
        if (shown) {
            CommitMapping(view, view->size);
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

// What the compositor has said of the view and its output, for SizeView.
ViewScale ScaleOf(const View* view) {
    ViewScale scale{};
    scale.logicalWidth = view->width;
    scale.logicalHeight = view->height;
    scale.preferred120 = view->preferred120;
    scale.viewporter = view->viewport != nullptr;
    scale.outputScale = std::max(view->outputScale, 1);
    if (view->output != nullptr) {
        scale.modeWidth = view->output->modeWidth;
        scale.modeHeight = view->output->modeHeight;
    }
    return scale;
}

// Where the frames' buffers cannot be had (a view over the pixel limit, memory refused), the view
// still covers its output in the clear colour, from a buffer it can have, so that input reaches it
// and can end the saver. Without a viewport that buffer is as large as the surface.
void ShowBackground(View* view) {
    const bool tiny = view->viewport != nullptr;
    const int width = tiny ? 1 : view->size.bufferWidth / view->size.bufferScale;
    const int height = tiny ? 1 : view->size.bufferHeight / view->size.bufferScale;
    if (view->background != nullptr && view->backgroundWidth == width &&
        view->backgroundHeight == height) {
        return; // shown and said already
    }
    ReportError("a " + std::to_string(view->size.bufferWidth) + "x" +
                std::to_string(view->size.bufferHeight) + " view " +
                (view->loop.model.scene.viewWidth *
                             static_cast<long long>(view->loop.model.scene.viewHeight) >
                         kMaxViewPixels
                     ? "has more pixels than can be drawn (2^27)"
                     : "cannot have the memory for its frames") +
                ": it shows the background");
    if (view->background != nullptr &&
        (view->backgroundWidth != width || view->backgroundHeight != height)) {
        wl_buffer_destroy(view->background);
        view->background = nullptr;
    }
    if (view->background == nullptr) {
        view->background = CreateSolidBuffer(
            g_wl.shm, width, height, ClearPixel(view->loop.model.scene, TexelLayout{16, 8, 0, 0}));
        view->backgroundWidth = width;
        view->backgroundHeight = height;
    }
    if (view->background == nullptr) {
        ReportError("no memory for even the background of a view");
        Stop(kExitFailed);
        return;
    }
    ViewSize mapping = view->size;
    mapping.bufferScale = 1;
    if (tiny && mapping.destWidth == 0) {
        mapping.destWidth = view->width; // --window: its surface size
        mapping.destHeight = view->height;
    }
    wl_surface_attach(view->surface, view->background, 0, 0);
    wl_surface_damage_buffer(view->surface, 0, 0, width, height);
    CommitMapping(view, mapping);
    wl_surface_commit(view->surface);
}

// A configure has given the view its size (in surface pixels), or the output a new scale or
// mode: the frames follow, the first time with a new scene, and the first frame goes out.
void ApplySize(View* view) {
    if (view->width <= 0 || view->height <= 0 || g_wl.stop) {
        return;
    }
    view->size = SizeView(ScaleOf(view));
    const int width = view->size.bufferWidth;
    const int height = view->size.bufferHeight;
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
    if (!ViewIsDrawn(view->loop)) {
        ShowBackground(view);
    } else if (view->frame == nullptr) {
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
    CloseViews();
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

// --window takes the scale of the output it is shown on, and follows it (OnOutputDone).
void OnSurfaceEnter(void* data, wl_surface*, wl_output* entered) {
    View* view = static_cast<View*>(data);
    for (const auto& output : g_wl.outputs) {
        if (output->output == entered && view->output == nullptr) {
            view->shownOn = entered;
            ScaleView(view, output->scale);
        }
    }
}

// The compositor's own scale for the surface, where it has the fractional-scale protocol.
void OnPreferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale) {
    View* view = static_cast<View*>(data);
    if (view->preferred120 != static_cast<int>(scale)) {
        view->preferred120 = static_cast<int>(scale);
        ApplySize(view);
    }
}

const wp_fractional_scale_v1_listener kFractionalListener = {OnPreferredScale};

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

void ScaleView(View* view, int outputScale) {
    view->outputScale = std::max(outputScale, 1);
    const ViewSize size = SizeView(ScaleOf(view));
    if (size.bufferWidth != view->size.bufferWidth ||
        size.bufferHeight != view->size.bufferHeight || size.destWidth != view->size.destWidth ||
        size.destHeight != view->size.destHeight || size.bufferScale != view->size.bufferScale) {
        ApplySize(view);
    }
}

std::unique_ptr<View> CreateView(Output* output) {
    auto view = std::make_unique<View>();
    view->output = output;
    view->outputScale = output ? std::max(output->scale, 1) : 1;
    view->committed.bufferScale = 1;
    view->surface = wl_compositor_create_surface(g_wl.compositor);
    view->target = ShmTarget{g_wl.shm, view->surface};
    wl_surface_add_listener(view->surface, &kSurfaceListener, view.get());
    if (g_wl.viewporter != nullptr) {
        view->viewport = wp_viewporter_get_viewport(g_wl.viewporter, view->surface);
    }
    if (g_wl.fractionalScale != nullptr && g_wl.viewporter != nullptr) {
        view->fractional = wp_fractional_scale_manager_v1_get_fractional_scale(g_wl.fractionalScale,
                                                                               view->surface);
        wp_fractional_scale_v1_add_listener(view->fractional, &kFractionalListener, view.get());
    }
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
    if (view->background != nullptr) {
        wl_buffer_destroy(view->background);
    }
    if (view->fractional != nullptr) {
        wp_fractional_scale_v1_destroy(view->fractional);
    }
    if (view->viewport != nullptr) {
        wp_viewport_destroy(view->viewport);
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

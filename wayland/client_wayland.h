// client_wayland.h -- what the parts of ripplefield-wayland share: the one record of the
// connection (globals, outputs, seat, how the run ends) and the views, each with its own frames.
//
// Flow of control: main -> options -> connect -> registry (compositor, shm, shells, seat, and
// one record per output; registry_wayland.cpp) -> one view per output once its size and scale are
// known (view_wayland.cpp) -> loop: wait for the compositor or a signal; a configure sizes a
// view's frames, and each frame callback runs one StepFrame of that view's own loop and asks for
// the next; input ends the run (seat_wayland.cpp) -> views released -> exit code.
#pragma once

#include "frames/frame_pacer.h"
#include "frames/frame_step.h"
#include "frames/run_settings.h"
#include "wayland/options.h"
#include "wayland/shm_presenter_wayland.h"

#include <wayland-client.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct wl_callback;
struct xdg_surface;
struct xdg_toplevel;
struct xdg_wm_base;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

constexpr int kExitFailed = 1;

struct Output;

// One surface shown: an output's (layer surface or full-screen toplevel) or --window's, with its
// own scene, readout and buffers in its frame loop.
struct View {
    wl_surface* surface;
    zwlr_layer_surface_v1* layer;
    xdg_surface* xdgSurface;
    xdg_toplevel* toplevel;
    wl_callback* frame;              // the frame callback asked for, null when none is pending
    Output* output;                  // null for --window
    int scale;                       // buffer scale: physical pixels per surface pixel
    int bufferScale;                 // the scale committed with the last buffer
    int width, height;               // surface-local, from the last configure; 0 before it
    int pendingWidth, pendingHeight; // a toplevel's size until its surface's configure
    bool started;                    // the loop has its scene and presenter
    bool closed;                     // the compositor's closed event
    ShmTarget target;
    FrameLoop loop;
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

// The process-wide record of the Wayland side: one connection, whatever the number of views.
struct WaylandClient {
    WaylandOptions options;
    RunSettings settings;
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
    bool ready;         // the globals are known: outputs may be covered
    uint32_t viewsMade; // each scene gets its own seed
    bool hadViews;
    // Where the pointer first came in: the closing rule counts motion from there.
    wl_surface* pointerSurface;
    wl_surface* referenceSurface;
    double referenceX, referenceY;
    bool closedSeen; // a closed event to look into once the compositor's other news is in
    bool stop;
    int exitCode;
    long long framesShown; // for SIGUSR1
};

extern WaylandClient g_wl;

// main_wayland.cpp: one line on stderr; the run ends with the first exit code asked for.
void ReportError(const std::string& message);
void Stop(int exitCode);

// registry_wayland.cpp: the globals and the outputs as the compositor offers and removes them.
void ListenToRegistry();
// An output is covered once its size and scale are known, if --output allows.
void CoverOutput(Output* output);
void ReleaseOutputs();
void ReleaseGlobals();

// view_wayland.cpp: a view's surface, its shell's role, its size and its frames.
std::unique_ptr<View> CreateView(Output* output);
void DestroyView(std::unique_ptr<View>* view);
View* FindView(wl_surface* surface);
// The view's output has a new scale.
void ScaleView(View* view, int scale);

// seat_wayland.cpp: keys, buttons and pointer motion, and the closing rules.
void BindSeat(wl_registry* registry, uint32_t name, uint32_t version);
// The view's surface is going: the pointer's reference point goes with it.
void ForgetSurface(wl_surface* surface);
void ReleaseSeat();

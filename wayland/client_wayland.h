// client_wayland.h -- what the parts of ripplefield-wayland share: the one record of the
// connection (globals, outputs, seat, how the run ends) and the views, each with its own frames.
//
// Flow of control: main -> options -> connect -> registry (compositor, shm, shells, seat, the
// idle sources, and one record per output; registry_wayland.cpp) -> one view per output once its
// size and scale are known, at once or, with --idle, when the user has been idle long enough
// (view_wayland.cpp) -> loop: wait for the compositor, the idle source or a signal; a configure
// sizes a view's frames, and each frame callback runs one StepFrame of that view's own loop and
// asks for the next; input closes the views (seat_wayland.cpp) and ends the run, or with --idle
// waits for the next idle time -> views released -> exit code.
#pragma once

#include "frames/frame_pacer.h"
#include "frames/frame_step.h"
#include "frames/run_settings.h"
#include "wayland/idle_wayland.h"
#include "wayland/options.h"
#include "wayland/shm_presenter_wayland.h"
#include "wayland/view_size.h"

#include <wayland-client.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct wl_callback;
struct wp_fractional_scale_manager_v1;
struct wp_fractional_scale_v1;
struct wp_viewport;
struct wp_viewporter;
struct xdg_surface;
struct xdg_toplevel;
struct xdg_wm_base;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

constexpr int kExitFailed = 1;

struct Output;

// One surface shown: an output's (layer surface or full-screen toplevel) or --window's, with its
// own scene, readout and buffers in its frame loop.
struct View {
    wl_surface* surface;
    zwlr_layer_surface_v1* layer;
    xdg_surface* xdgSurface;
    xdg_toplevel* toplevel;
    wp_viewport* viewport;              // where the compositor offers the viewporter
    wp_fractional_scale_v1* fractional; // where it offers the fractional scale
    wl_callback* frame;                 // the frame callback asked for, null when none is pending
    Output* output;                     // the output covered; null for --window
    wl_output* shownOn;                 // --window: the output it last entered
    int outputScale;                    // that output's wl_output.scale
    int preferred120;                   // the fractional scale in 120ths; 0 before it is said
    int width, height;                  // surface-local, from the last configure; 0 before it
    int pendingWidth, pendingHeight;    // a toplevel's size until its surface's configure
    ViewSize size;                      // its buffers and their mapping, from the above
    ViewSize committed;                 // as committed with the last buffer
    bool started;                       // the loop has its scene and presenter
    wl_buffer* background;              // the clear colour, where the frames cannot be had
    int backgroundWidth, backgroundHeight;
    bool closed; // the compositor's closed event
    ShmTarget target;
    FrameLoop loop;
    FramePacer pacer; // --max-fps
};

// One wl_output and what it has said about itself.
struct Output {
    wl_output* output;
    zxdg_output_v1* xdgOutput; // its name where wl_output has none (before version 4)
    uint32_t global;
    uint32_t version;
    std::string name;
    int scale;
    int modeWidth, modeHeight;
    bool done;    // wl_output's news is in
    bool xdgDone; // and xdg-output's, where it sends its own done
    bool removed; // by the compositor: it goes with its view at the top of the loop
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
    wp_viewporter* viewporter;
    wp_fractional_scale_manager_v1* fractionalScale;
    zxdg_output_manager_v1* xdgOutputs;
    std::string without; // RIPPLEFIELD_WAYLAND_WITHOUT: globals taken as not offered, for tests
    wl_seat* seat;
    uint32_t seatVersion;
    wl_pointer* pointer;
    wl_keyboard* keyboard;
    xkb_context* xkb; // --window: what the keys type
    xkb_keymap* keymap;
    xkb_state* keyState;
    std::vector<std::unique_ptr<Output>> outputs;
    std::unique_ptr<View> window; // --window
    IdleSources idle;             // --idle
    bool useLayerShell;
    bool ready;         // the globals are known: outputs may be covered
    bool covering;      // outputs are to be covered: from the start, or while the user is idle
    bool dropping;      // views or outputs are to go once no event is queued
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
// The closing rules are met (input, the compositor's close, the last covered output gone): the
// run ends with 0, or with --idle the views go until the user is idle again.
void CloseViews();

// registry_wayland.cpp: the globals and the outputs as the compositor offers and removes them.
void ListenToRegistry();
// An output is covered once its size and scale are known, while outputs are being covered, if
// --output allows.
void CoverOutput(Output* output);
void CoverOutputs();
// Every output's view goes; the outputs stay known.
void UncoverOutputs();
// The loop's part, with no event queued, of views uncovered and outputs removed: libwayland-client
// 1.21 never frees a proxy destroyed while a queued event (a keyboard's enter, say) names it.
void DropViews();
void ReleaseOutputs();
void ReleaseGlobals();

// view_wayland.cpp: a view's surface, its shell's role, its size and its frames.
std::unique_ptr<View> CreateView(Output* output);
void DestroyView(std::unique_ptr<View>* view);
View* FindView(wl_surface* surface);
// The view's output has new news (scale, mode): the view's size follows.
void ScaleView(View* view, int outputScale);

// seat_wayland.cpp: keys, buttons and pointer motion, and the closing rules.
void BindSeat(wl_registry* registry, uint32_t name, uint32_t version);
// The view's surface is going: the pointer's reference point goes with it.
void ForgetSurface(wl_surface* surface);
void ReleaseSeat();

// compositor_support.h -- headless Wayland compositors for the tests (sway, KDE's kwin_wayland,
// GNOME's mutter, weston), each run as an ordinary system user (they refuse root) with a private
// HOME and runtime directory, and a session bus of its own where the compositor wants one.
#pragma once

#include "programs_posix.h"

#include <string>
#include <vector>

enum class CompositorKind { kSway, kKwin, kMutter, kWeston };

struct CompositorOptions {
    // The output's size in surface pixels (kwin: physical = this times scale; sway: always
    // 1280x720, which swaymsg can change).
    int width = 1280;
    int height = 720;
    double scale = 1; // kwin --scale; the others start at 1
};

struct HeadlessCompositor {
    CompositorKind kind = CompositorKind::kSway;
    RunningProgram program; // the leader of a process group that holds all it started
    std::string runtimeDir; // HOME and XDG_RUNTIME_DIR: the Wayland socket, logs, sway's IPC
    std::string socket;     // WAYLAND_DISPLAY
    std::string ipc;        // SWAYSOCK (sway only)
    std::string bus;        // DBUS_SESSION_BUS_ADDRESS (kwin and mutter), which root may use
    bool nested = false;
};

const char* CompositorName(CompositorKind kind);
// Starts it and waits until a client sees an output. Needs root (useradd, setpriv). With a parent
// (sway only), sway runs inside it instead (its wayland backend): each output is a window there,
// and closing that window unplugs the output, which headless sway 1.7 cannot do.
::testing::AssertionResult StartCompositor(HeadlessCompositor* compositor, CompositorKind kind,
                                           const CompositorOptions& options = {},
                                           const HeadlessCompositor* parent = nullptr);
// Ends it and everything it started, and removes its directory.
void StopCompositor(HeadlessCompositor* compositor);
// What a client of it needs in its environment.
std::vector<std::string> CompositorEnvironment(const HeadlessCompositor& compositor);
// Runs a client as the compositor's own user, as KWin wants for its fake input
// (RIPPLEFIELD_FAKE_INPUT names that helper) and its screenshots; the program must be readable by
// that user.
ProgramRun RunAsCompositorUser(const HeadlessCompositor& compositor,
                               const std::vector<std::string>& argv);
// The output's picture as the compositor shows it, RGB rows at its physical size: grim on sway,
// weston's screenshooter (one output only), KWin's ScreenShot2 asked as
// the compositor's user. Empty on mutter, which shows its picture only through PipeWire, and on
// failure.
std::vector<unsigned char> CaptureOutput(const HeadlessCompositor& compositor,
                                         const std::string& output, int* width, int* height);

// What ripplefield-wayland has done so far, from its protocol log (WAYLAND_DEBUG=1) and its lines.
struct ProtocolLog {
    int attaches = 0;            // buffers attached to its surfaces
    int destroyed = 0;           // its surfaces destroyed
    int widest = 0, tallest = 0; // the largest buffer it made
    std::string said;            // its own lines
    std::string others;          // neither protocol nor its own: a sanitizer's report, say
};
ProtocolLog ReadProtocolLog(const std::string& path);

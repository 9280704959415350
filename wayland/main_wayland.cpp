// main_wayland.cpp -- ripplefield-wayland: the picture on every output of a Wayland compositor,
// in overlay layer surfaces (or full-screen toplevels where there is no layer shell), until input.
// The run: options, connection, globals, views, the loop, release (client_wayland.h has the flow).
#include "frames/stop_signals_posix.h"
#include "text/text.h"
#include "wayland/client_wayland.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <poll.h>

WaylandClient g_wl = {};

void ReportError(const std::string& message) {
    PrintLine("ripplefield-wayland: " + message);
}

void Stop(int exitCode) {
    if (!g_wl.stop) {
        g_wl.stop = true;
        g_wl.exitCode = exitCode;
    }
}

void CloseViews() {
    if (g_wl.options.idleSeconds > 0) {
        UncoverOutputs();
    } else {
        Stop(0);
    }
}

namespace {

// --idle: the user has been idle long enough; views already up stay as they are.
void OnIdled(void*) {
    CoverOutputs();
}

// --idle: input, or the idle source's word of it where the views cannot see it (GNOME's
// monitor sees what the compositor does with it).
void OnResumed(void*) {
    UncoverOutputs();
}

// A closed event either comes with its output's removal (which takes the view) or means the
// compositor wants the saver gone. The compositor's other news is in after a round trip.
void LookIntoClosed() {
    g_wl.closedSeen = false;
    if (wl_display_roundtrip(g_wl.display) < 0) {
        return; // the loop reports the lost connection
    }
    for (const auto& output : g_wl.outputs) {
        if (output->view && output->view->closed && !output->removed) {
            CloseViews();
            return;
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
// connection (false, with the reason in error). Nothing else wakes it: no timer.
bool RunLoop(std::string* error) {
    wl_display* display = g_wl.display;
    while (!g_wl.stop && !g_stopSignals.stop) {
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) {
                return false;
            }
        }
        DropViews(); // a prepared read means nothing is queued
        if (g_wl.stop || g_stopSignals.stop) {
            wl_display_cancel_read(display);
            break;
        }
        if (wl_display_flush(display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display);
            return false;
        }
        pollfd fds[3] = {{wl_display_get_fd(display), POLLIN, 0},
                         {g_stopSignals.wakeFd, POLLIN, 0},
                         {IdleWatchFd(g_wl.idle), POLLIN, 0}}; // -1 where there is none
        if (poll(fds, 3, -1) < 0 && errno != EINTR) {
            wl_display_cancel_read(display);
            return false;
        }
        if (fds[1].revents & POLLIN) {
            DrainStopSignals();
        }
        if (fds[2].revents != 0 && !DispatchIdleWatch(g_wl.idle)) {
            wl_display_cancel_read(display);
            *error = "lost the session bus, which told the idle time";
            return false;
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
            std::fprintf(stderr, "frames=%lld\n", g_wl.framesShown);
        }
    }
    return true;
}

// Every object of ours, then the connection.
void ReleaseAll() {
    ReleaseOutputs();
    DestroyView(&g_wl.window);
    StopIdleWatch(g_wl.idle);
    ReleaseSeat();
    ReleaseGlobals();
    wl_display_flush(g_wl.display);
    wl_display_disconnect(g_wl.display);
}

// The steps of a run after the command line: connection, globals, views, frames, release.
int RunWayland() {
    // The scenes' seeds come from the clock as each view starts.
    g_wl.settings = ReadRunSettings(0);
    if (g_wl.settings.badFreeze) {
        ReportError(g_wl.settings.problem);
        return kExitFailed;
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
        ReportError("cannot connect to the Wayland compositor " +
                    Quoted(socket != nullptr ? socket : "wayland-0"));
        return kExitFailed;
    }
    // A test hook: compositors without some of these globals, played by one that has them.
    const char* without = std::getenv("RIPPLEFIELD_WAYLAND_WITHOUT");
    g_wl.without = without != nullptr ? without : "";
    ListenToRegistry();
    // The globals, then what the outputs and the seat say about themselves.
    if (wl_display_roundtrip(g_wl.display) < 0 || wl_display_roundtrip(g_wl.display) < 0) {
        ReportError(ConnectionError());
        return kExitFailed;
    }
    g_wl.useLayerShell = g_wl.layerShell != nullptr;
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
    g_wl.ready = true;
    if (g_wl.options.idleSeconds > 0) {
        // Outputs are covered when the user has been idle, and whichever there are then.
        std::string error;
        if (!StartIdleWatch(g_wl.idle, g_wl.seat, g_wl.options.idleSeconds * 1000, OnIdled,
                            OnResumed, nullptr, &error)) {
            ReportError(error);
            ReleaseAll();
            return kExitFailed;
        }
        if (g_wl.options.verbose || g_wl.options.showFps) {
            ReportError(std::string("idle time from ") + IdleSourceName(g_wl.idle));
        }
    } else if (g_wl.options.window) {
        g_wl.window = CreateView(nullptr);
    } else {
        CoverOutputs();
        if (!g_wl.hadViews) {
            ReportError(g_wl.options.output.empty()
                            ? "the compositor has no output"
                            : "no output is named " + Quoted(g_wl.options.output));
            ReleaseAll();
            return kExitFailed;
        }
    }
    std::string lost;
    if (!RunLoop(&lost)) {
        ReportError(lost.empty() ? ConnectionError() : lost);
        ReleaseAll(); // what the compositor held is gone with it; ours is freed
        return kExitFailed;
    }
    ReleaseAll();
    return g_wl.exitCode;
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    const ParseResult parsed = ParseWaylandOptions(argc, argv, &g_wl.options, &error);
    if (parsed != ParseResult::kRun) {
        return EndWithoutRun(parsed, kWaylandUsage, kWaylandVersion,
                             "ripplefield-wayland: " + error, kExitFailed);
    }
    return RunWayland();
}

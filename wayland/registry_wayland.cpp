// registry_wayland.cpp -- ripplefield-wayland's globals: the compositor, shared memory, the
// shells, the seat, and one record per output, covered once it has said what it is.
#include "wayland/client_wayland.h"
#include "wayland/layer_shell_wayland.h"

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <algorithm>
#include <cstring>

namespace {

void OnOutputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                      const char*, int32_t) {}

void OnOutputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    Output* output = static_cast<Output*>(data);
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        output->modeWidth = width;
        output->modeHeight = height;
    }
}

// The output's view, and --window where it is shown on this output, follow its scale and mode.
void OnOutputDone(void* data, wl_output*) {
    Output* output = static_cast<Output*>(data);
    output->done = true;
    if (output->view != nullptr) {
        ScaleView(output->view.get(), output->scale);
    }
    if (g_wl.window != nullptr && g_wl.window->shownOn == output->output) {
        ScaleView(g_wl.window.get(), output->scale);
    }
    CoverOutput(output);
}

void OnOutputScale(void* data, wl_output*, int32_t factor) {
    static_cast<Output*>(data)->scale = std::max(factor, 1);
}

void OnOutputName(void* data, wl_output*, const char* name) {
    static_cast<Output*>(data)->name = name;
}

void OnXdgOutputPosition(void*, zxdg_output_v1*, int32_t, int32_t) {}
void OnXdgOutputSize(void*, zxdg_output_v1*, int32_t, int32_t) {}

void OnXdgOutputDone(void* data, zxdg_output_v1*) {
    Output* output = static_cast<Output*>(data);
    output->xdgDone = true;
    CoverOutput(output);
}

// wl_output's own name wins where it has one (version 4).
void OnXdgOutputName(void* data, zxdg_output_v1*, const char* name) {
    Output* output = static_cast<Output*>(data);
    if (output->version < 4) {
        output->name = name;
    }
}

void OnXdgOutputDescription(void*, zxdg_output_v1*, const char*) {}

const zxdg_output_v1_listener kXdgOutputListener = {
    OnXdgOutputPosition, OnXdgOutputSize, OnXdgOutputDone, OnXdgOutputName, OnXdgOutputDescription};

// From version 3 xdg-output's news ends with wl_output's done; before it, with its own.
void WatchXdgOutput(Output* output) {
    if (g_wl.xdgOutputs == nullptr || output->xdgOutput != nullptr) {
        return;
    }
    output->xdgOutput = zxdg_output_manager_v1_get_xdg_output(g_wl.xdgOutputs, output->output);
    zxdg_output_v1_add_listener(output->xdgOutput, &kXdgOutputListener, output);
    output->xdgDone = zxdg_output_manager_v1_get_version(g_wl.xdgOutputs) >= 3;
}

void OnOutputDescription(void*, wl_output*, const char*) {}

const wl_output_listener kOutputListener = {OnOutputGeometry, OnOutputMode, OnOutputDone,
                                            OnOutputScale,    OnOutputName, OnOutputDescription};

void ReleaseOutput(Output* output) {
    DestroyView(&output->view);
    if (output->xdgOutput != nullptr) {
        zxdg_output_v1_destroy(output->xdgOutput);
    }
    output->version >= 3 ? wl_output_release(output->output) : wl_output_destroy(output->output);
}

// A test hook: globals named in RIPPLEFIELD_WAYLAND_WITHOUT are taken as not offered.
bool Without(const char* interface) {
    const std::string& list = g_wl.without;
    const size_t length = std::strlen(interface);
    for (size_t at = list.find(interface); at != std::string::npos;
         at = list.find(interface, at + 1)) {
        const bool starts = at == 0 || list[at - 1] == ',';
        const bool ends = at + length == list.size() || list[at + length] == ',';
        if (starts && ends) {
            return true;
        }
    }
    return false;
}

void OnPing(void*, xdg_wm_base* base, uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}

const xdg_wm_base_listener kWmBaseListener = {OnPing};

void OnGlobal(void*, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    const auto bind = [&](const wl_interface* type, uint32_t most) {
        return wl_registry_bind(registry, name, type, std::min(version, most));
    };
    if (Without(interface) || BindIdleGlobal(g_wl.idle, registry, name, interface, version)) {
        return;
    }
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && version >= 4) {
        g_wl.compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        g_wl.shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
        g_wl.layerShell =
            static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 1));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        g_wl.wmBase = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(g_wl.wmBase, &kWmBaseListener, nullptr);
    } else if (std::strcmp(interface, wp_viewporter_interface.name) == 0) {
        g_wl.viewporter = static_cast<wp_viewporter*>(bind(&wp_viewporter_interface, 1));
    } else if (std::strcmp(interface, wp_fractional_scale_manager_v1_interface.name) == 0) {
        g_wl.fractionalScale = static_cast<wp_fractional_scale_manager_v1*>(
            bind(&wp_fractional_scale_manager_v1_interface, 1));
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        g_wl.xdgOutputs =
            static_cast<zxdg_output_manager_v1*>(bind(&zxdg_output_manager_v1_interface, 3));
        for (const auto& output : g_wl.outputs) {
            WatchXdgOutput(output.get());
        }
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        BindSeat(registry, name, version);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto output = std::make_unique<Output>();
        output->global = name;
        output->version = std::min(version, 4u);
        output->scale = 1;
        output->output = static_cast<wl_output*>(bind(&wl_output_interface, 4));
        wl_output_add_listener(output->output, &kOutputListener, output.get());
        WatchXdgOutput(output.get());
        g_wl.outputs.push_back(std::move(output));
    }
}

// An output that goes takes its view with it, once nothing queued can name them (DropViews).
void OnGlobalRemove(void*, wl_registry*, uint32_t name) {
    for (const auto& output : g_wl.outputs) {
        if (output->global == name) {
            output->removed = true;
            g_wl.dropping = true;
        }
    }
}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

} // namespace

void ListenToRegistry() {
    g_wl.registry = wl_display_get_registry(g_wl.display);
    wl_registry_add_listener(g_wl.registry, &kRegistryListener, nullptr);
}

void CoverOutput(Output* output) {
    if (g_wl.options.window || !g_wl.ready || !g_wl.covering || !output->done || output->view ||
        output->removed || g_wl.stop || (output->xdgOutput != nullptr && !output->xdgDone)) {
        return;
    }
    if (!g_wl.options.output.empty() && output->name != g_wl.options.output) {
        return;
    }
    output->view = CreateView(output);
}

void CoverOutputs() {
    g_wl.covering = true;
    for (const auto& output : g_wl.outputs) {
        CoverOutput(output.get());
    }
}

void UncoverOutputs() {
    g_wl.covering = false;
    g_wl.dropping = true;
}

void DropViews() {
    if (!g_wl.dropping) {
        return;
    }
    g_wl.dropping = false;
    auto& outputs = g_wl.outputs;
    bool lostView = false;
    for (auto it = outputs.begin(); it != outputs.end();) {
        Output* output = it->get();
        if (!output->removed) {
            if (!g_wl.covering) {
                DestroyView(&output->view);
            }
            ++it;
            continue;
        }
        lostView |= output->view != nullptr;
        ReleaseOutput(output);
        it = outputs.erase(it);
    }
    const bool anyView = std::any_of(outputs.begin(), outputs.end(),
                                     [](const auto& o) { return o->view != nullptr; });
    if (lostView && !anyView) {
        CloseViews(); // the last covered output has gone
    } else if (g_wl.covering) {
        CoverOutputs(); // idle again within the same events: fresh views
    }
}

void ReleaseOutputs() {
    for (auto& output : g_wl.outputs) {
        ReleaseOutput(output.get());
    }
    g_wl.outputs.clear();
}

void ReleaseGlobals() {
    if (g_wl.layerShell != nullptr) {
        // Bound at version 1, which has no destroy request: the proxy goes on our side only.
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(g_wl.layerShell));
    }
    if (g_wl.wmBase != nullptr) {
        xdg_wm_base_destroy(g_wl.wmBase);
    }
    if (g_wl.viewporter != nullptr) {
        wp_viewporter_destroy(g_wl.viewporter);
    }
    if (g_wl.fractionalScale != nullptr) {
        wp_fractional_scale_manager_v1_destroy(g_wl.fractionalScale);
    }
    if (g_wl.xdgOutputs != nullptr) {
        zxdg_output_manager_v1_destroy(g_wl.xdgOutputs);
    }
    if (g_wl.shm != nullptr) {
        wl_shm_destroy(g_wl.shm);
    }
    if (g_wl.compositor != nullptr) {
        wl_compositor_destroy(g_wl.compositor);
    }
    wl_registry_destroy(g_wl.registry);
}

// idle_inhibitor_wayland.cpp -- a test helper: a small visible window that holds an idle
// inhibitor (as a video player does) until it is killed. It prints "ready" once both are there.
#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <wayland-client.h>

#include <cstdio>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

namespace {

wl_compositor* g_compositor = nullptr;
wl_shm* g_shm = nullptr;
xdg_wm_base* g_wmBase = nullptr;
zwp_idle_inhibit_manager_v1* g_inhibitManager = nullptr;
bool g_configured = false;

void OnGlobal(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        g_compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, 1));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        g_shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        g_wmBase =
            static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
    } else if (std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) == 0) {
        g_inhibitManager = static_cast<zwp_idle_inhibit_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1));
    }
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

void OnPing(void*, xdg_wm_base* base, uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}

const xdg_wm_base_listener kWmBaseListener = {OnPing};

void OnConfigure(void*, xdg_surface* surface, uint32_t serial) {
    xdg_surface_ack_configure(surface, serial);
    g_configured = true;
}

const xdg_surface_listener kSurfaceListener = {OnConfigure};

// A black buffer: the window must have content to be shown.
wl_buffer* BlackBuffer(int width, int height) {
    const int stride = width * 4;
    const int fd = memfd_create("ripplefield-inhibitor", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, stride * height) != 0) {
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(g_shm, fd, stride * height);
    wl_buffer* buffer =
        wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

} // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fputs("idle_inhibitor: no compositor\n", stderr);
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &kRegistryListener, nullptr);
    wl_display_roundtrip(display);
    if (g_compositor == nullptr || g_shm == nullptr || g_wmBase == nullptr ||
        g_inhibitManager == nullptr) {
        std::fputs("idle_inhibitor: the compositor has no idle inhibitors or no xdg-shell\n",
                   stderr);
        return 1;
    }
    xdg_wm_base_add_listener(g_wmBase, &kWmBaseListener, nullptr);
    wl_surface* surface = wl_compositor_create_surface(g_compositor);
    xdg_surface* xdgSurface = xdg_wm_base_get_xdg_surface(g_wmBase, surface);
    xdg_surface_add_listener(xdgSurface, &kSurfaceListener, nullptr);
    xdg_toplevel_set_title(xdg_surface_get_toplevel(xdgSurface), "idle inhibitor");
    wl_surface_commit(surface);
    while (!g_configured && wl_display_dispatch(display) >= 0) {
    }
    wl_surface_attach(surface, BlackBuffer(64, 64), 0, 0);
    wl_surface_commit(surface);
    zwp_idle_inhibit_manager_v1_create_inhibitor(g_inhibitManager, surface);
    wl_display_roundtrip(display);
    std::puts("ready");
    std::fflush(stdout);
    while (wl_display_dispatch(display) >= 0) {
    }
    return 0;
}

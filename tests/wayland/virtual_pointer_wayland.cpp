// virtual_pointer_wayland.cpp -- a test helper: a pointer device on the compositor's seat, so
// that a headless compositor (which has none) gives clients a wl_pointer; it lasts until it is
// killed. The tests move and press it with the compositor's own commands.
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace {

zwlr_virtual_pointer_manager_v1* g_manager = nullptr;

void OnGlobal(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        g_manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    }
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

} // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fputs("virtual_pointer: no compositor\n", stderr);
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &kRegistryListener, nullptr);
    wl_display_roundtrip(display);
    if (g_manager == nullptr) {
        std::fputs("virtual_pointer: the compositor makes no virtual pointers\n", stderr);
        return 1;
    }
    zwlr_virtual_pointer_manager_v1_create_virtual_pointer(g_manager, nullptr);
    wl_display_roundtrip(display);
    std::puts("ready");
    std::fflush(stdout);
    for (;;) {
        pause();
    }
}

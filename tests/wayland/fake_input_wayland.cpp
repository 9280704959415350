// fake_input_wayland.cpp -- a test helper: input on KWin, which takes no virtual devices from
// clients but offers its own fake input to those it trusts (all, when started with
// KWIN_WAYLAND_NO_PERMISSION_CHECKS=1, yet only clients of its own user). The arguments are
// actions done in turn: "move DX DY" moves the pointer, "key CODE" and "button CODE" press and
// release (Linux input codes). KWin's device lasts as long as the connection, and the seat loses
// its pointer when this ends: a client's pointer comes in with the first motion of each run, and
// motion counts from there ("move 1 0 move 5 0" is 5 pixels).
#include "fake-input-client-protocol.h"

#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

org_kde_kwin_fake_input* g_input = nullptr;

void OnGlobal(void*, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4) {
        g_input = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
    }
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

} // namespace

int main(int argc, char** argv) {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fputs("fake_input: no compositor\n", stderr);
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, nullptr);
    wl_display_roundtrip(display);
    if (g_input == nullptr) {
        std::fputs("fake_input: the compositor offers this client no fake input\n", stderr);
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(g_input, "ripplefield tests", "input for the tests");
    // The device comes with the first request: clients learn of it before the actions.
    org_kde_kwin_fake_input_pointer_motion(g_input, 0, 0);
    wl_display_roundtrip(display);
    for (int i = 1; i < argc; ++i) {
        const std::string action = argv[i];
        if (action == "move" && i + 2 < argc) {
            org_kde_kwin_fake_input_pointer_motion(g_input,
                                                   wl_fixed_from_int(std::atoi(argv[i + 1])),
                                                   wl_fixed_from_int(std::atoi(argv[i + 2])));
            i += 2;
        } else if ((action == "key" || action == "button") && i + 1 < argc) {
            const auto press = action == "key" ? org_kde_kwin_fake_input_keyboard_key
                                               : org_kde_kwin_fake_input_button;
            const uint32_t code = static_cast<uint32_t>(std::atoi(argv[++i]));
            press(g_input, code, 1);
            press(g_input, code, 0);
        } else {
            std::fputs("usage: fake_input [move DX DY | key CODE | button CODE]...\n", stderr);
            return 2;
        }
        wl_display_roundtrip(display);
        usleep(100000); // for the clients to take it in before the next
    }
    org_kde_kwin_fake_input_destroy(g_input); // no destructor request: the proxy only
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}

// idle_wayland.h -- when the user goes idle and comes back: from the compositor
// (ext_idle_notifier_v1, else org_kde_kwin_idle) or, on GNOME, from Mutter's idle monitor on the
// session bus. Waiting costs nothing: only the compositor's or the bus's messages wake it.
#pragma once

#include <cstdint>
#include <string>

struct wl_registry;
struct wl_seat;
struct ext_idle_notifier_v1;
struct ext_idle_notification_v1;
struct org_kde_kwin_idle;
struct org_kde_kwin_idle_timeout;
struct sd_bus;
struct sd_bus_slot;

enum class IdleSourceKind { kNone, kExtIdleNotify, kKdeIdle, kMutterIdleMonitor };

struct IdleSources {
    // Bound from the registry.
    ext_idle_notifier_v1* extNotifier = nullptr;
    org_kde_kwin_idle* kdeIdle = nullptr;
    // The watch, once started.
    IdleSourceKind source = IdleSourceKind::kNone;
    ext_idle_notification_v1* extNotification = nullptr;
    org_kde_kwin_idle_timeout* kdeTimeout = nullptr;
    // GNOME: the session bus, Mutter's watches and the session manager's inhibitors.
    sd_bus* bus = nullptr;
    sd_bus_slot* watchFired = nullptr;
    sd_bus_slot* inhibitorAdded = nullptr;
    sd_bus_slot* inhibitorRemoved = nullptr;
    sd_bus_slot* inhibitedQuery = nullptr; // the IsInhibited call in flight
    uint32_t idleWatch = 0;
    uint32_t activeWatch = 0; // one-shot: the next input
    bool inhibited = false;   // the session manager holds idle back
    bool heldBack = false;    // the idle time passed while inhibited, with no input since
    // Both sources: idled was told, resumed not yet.
    bool idle = false;
    void (*idled)(void*) = nullptr;
    void (*resumed)(void*) = nullptr;
    void* context = nullptr;
};

// For the program's registry listener: true when the global was one of these (it is then bound).
bool BindIdleGlobal(IdleSources& sources, wl_registry* registry, uint32_t name,
                    const char* interface, uint32_t version);
// Takes the first source there is, in the order above, and has idled called once timeoutMs pass
// without input, then resumed on the next input, and so on. Idle inhibitors hold idled back. False
// with one line in error (naming what to use instead) when there is no source.
bool StartIdleWatch(IdleSources& sources, wl_seat* seat, int timeoutMs, void (*idled)(void*),
                    void (*resumed)(void*), void* context, std::string* error);
// For a --verbose line: the protocol or the D-Bus interface used, or "none".
const char* IdleSourceName(const IdleSources& sources);
// A descriptor to poll for POLLIN besides the display's, or -1: the Wayland sources' events come
// with the display's.
int IdleWatchFd(const IdleSources& sources);
// When that descriptor is readable (it may call idled and resumed). False once the bus is lost.
bool DispatchIdleWatch(IdleSources& sources);
// Ends the watch and releases what was bound; the display must still be connected.
void StopIdleWatch(IdleSources& sources);

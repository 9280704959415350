// idle_wayland.cpp -- the idle sources: the compositor's idle protocols, then GNOME's monitor.
#include "wayland/idle_wayland.h"

#include "wayland/idle_mutter_dbus.h"

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

#include <wayland-client.h>

#include <cstring>

namespace {

void Idled(IdleSources& sources) {
    if (!sources.idle) {
        sources.idle = true;
        sources.idled(sources.context);
    }
}

void Resumed(IdleSources& sources) {
    if (sources.idle) {
        sources.idle = false;
        sources.resumed(sources.context);
    }
}

void OnExtIdled(void* data, ext_idle_notification_v1*) {
    Idled(*static_cast<IdleSources*>(data));
}

void OnExtResumed(void* data, ext_idle_notification_v1*) {
    Resumed(*static_cast<IdleSources*>(data));
}

const ext_idle_notification_v1_listener kExtListener = {OnExtIdled, OnExtResumed};

void OnKdeIdle(void* data, org_kde_kwin_idle_timeout*) {
    Idled(*static_cast<IdleSources*>(data));
}

void OnKdeResumed(void* data, org_kde_kwin_idle_timeout*) {
    Resumed(*static_cast<IdleSources*>(data));
}

const org_kde_kwin_idle_timeout_listener kKdeListener = {OnKdeIdle, OnKdeResumed};

} // namespace

bool BindIdleGlobal(IdleSources& sources, wl_registry* registry, uint32_t name,
                    const char* interface, uint32_t) {
    if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0 &&
        sources.extNotifier == nullptr) {
        sources.extNotifier = static_cast<ext_idle_notifier_v1*>(
            wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
        return true;
    }
    if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0 &&
        sources.kdeIdle == nullptr) {
        sources.kdeIdle = static_cast<org_kde_kwin_idle*>(
            wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
        return true;
    }
    return false;
}

bool StartIdleWatch(IdleSources& sources, wl_seat* seat, int timeoutMs, void (*idled)(void*),
                    void (*resumed)(void*), void* context, std::string* error) {
    sources.idled = idled;
    sources.resumed = resumed;
    sources.context = context;
    sources.idle = false;
    const uint32_t timeout = static_cast<uint32_t>(timeoutMs > 0 ? timeoutMs : 1);
    if ((sources.extNotifier != nullptr || sources.kdeIdle != nullptr) && seat == nullptr) {
        *error = "the compositor tells idle time per seat, and it has no seat";
        return false;
    }
    if (sources.extNotifier != nullptr) {
        sources.extNotification =
            ext_idle_notifier_v1_get_idle_notification(sources.extNotifier, timeout, seat);
        ext_idle_notification_v1_add_listener(sources.extNotification, &kExtListener, &sources);
        sources.source = IdleSourceKind::kExtIdleNotify;
    } else if (sources.kdeIdle != nullptr) {
        sources.kdeTimeout = org_kde_kwin_idle_get_idle_timeout(sources.kdeIdle, seat, timeout);
        org_kde_kwin_idle_timeout_add_listener(sources.kdeTimeout, &kKdeListener, &sources);
        sources.source = IdleSourceKind::kKdeIdle;
    } else if (StartMutterIdleWatch(sources, static_cast<int>(timeout))) {
        sources.source = IdleSourceKind::kMutterIdleMonitor;
    } else {
        *error = "this desktop tells no idle time (no ext_idle_notifier_v1, org_kde_kwin_idle or "
                 "GNOME idle monitor): start ripplefield-wayland from swayidle or hypridle instead";
        return false;
    }
    return true;
}

const char* IdleSourceName(const IdleSources& sources) {
    switch (sources.source) {
    case IdleSourceKind::kExtIdleNotify:
        return "ext_idle_notifier_v1";
    case IdleSourceKind::kKdeIdle:
        return "org_kde_kwin_idle";
    case IdleSourceKind::kMutterIdleMonitor:
        return "org.gnome.Mutter.IdleMonitor";
    case IdleSourceKind::kNone:
        break;
    }
    return "none";
}

int IdleWatchFd(const IdleSources& sources) {
    return sources.source == IdleSourceKind::kMutterIdleMonitor ? MutterIdleWatchFd(sources) : -1;
}

bool DispatchIdleWatch(IdleSources& sources) {
    return sources.source != IdleSourceKind::kMutterIdleMonitor || DispatchMutterIdleWatch(sources);
}

void StopIdleWatch(IdleSources& sources) {
    if (sources.extNotification != nullptr) {
        ext_idle_notification_v1_destroy(sources.extNotification);
    }
    if (sources.kdeTimeout != nullptr) {
        org_kde_kwin_idle_timeout_release(sources.kdeTimeout);
    }
    if (sources.extNotifier != nullptr) {
        ext_idle_notifier_v1_destroy(sources.extNotifier);
    }
    if (sources.kdeIdle != nullptr) {
        org_kde_kwin_idle_destroy(sources.kdeIdle);
    }
    StopMutterIdleWatch(sources);
    sources = IdleSources();
}

// idle_mutter_dbus.cpp -- GNOME's idle source through sd-bus: Mutter's idle monitor says when
// the user went idle and came back; the session manager says whether something inhibits idle.
#include "wayland/idle_mutter_dbus.h"

#include <systemd/sd-bus.h>

namespace {

const char kMonitor[] = "org.gnome.Mutter.IdleMonitor";
const char kMonitorPath[] = "/org/gnome/Mutter/IdleMonitor/Core";
const char kSessionManager[] = "org.gnome.SessionManager";
const char kSessionManagerPath[] = "/org/gnome/SessionManager";
// GsmInhibitorFlag: inhibit the session being marked as idle.
constexpr uint32_t kInhibitIdle = 8;

void Idled(IdleSources& sources) {
    if (!sources.idle) {
        sources.idle = true;
        sources.idled(sources.context);
    }
}

// A one-shot watch for the next input; 0 when the monitor refused it.
uint32_t AddUserActiveWatch(sd_bus* bus) {
    sd_bus_message* reply = nullptr;
    uint32_t id = 0;
    if (sd_bus_call_method(bus, kMonitor, kMonitorPath, kMonitor, "AddUserActiveWatch", nullptr,
                           &reply, "") >= 0) {
        sd_bus_message_read(reply, "u", &id);
    }
    sd_bus_message_unref(reply);
    return id;
}

int OnWatchFired(sd_bus_message* message, void* data, sd_bus_error*) {
    IdleSources& sources = *static_cast<IdleSources*>(data);
    uint32_t id = 0;
    if (sd_bus_message_read(message, "u", &id) < 0 || id == 0) {
        return 0;
    }
    if (id == sources.idleWatch) {
        // Watch for input whether or not idle is held back: input ends the held-back idle too.
        if (sources.activeWatch == 0) {
            sources.activeWatch = AddUserActiveWatch(sources.bus);
        }
        if (sources.inhibited) {
            sources.heldBack = true;
        } else {
            Idled(sources);
        }
    } else if (id == sources.activeWatch) {
        sources.activeWatch = 0;
        sources.heldBack = false;
        if (sources.idle) {
            sources.idle = false;
            sources.resumed(sources.context);
        }
    }
    return 0;
}

int OnInhibited(sd_bus_message* reply, void* data, sd_bus_error*) {
    IdleSources& sources = *static_cast<IdleSources*>(data);
    sources.inhibitedQuery = sd_bus_slot_unref(sources.inhibitedQuery);
    int inhibited = 0;
    // No session manager (an error reply) inhibits nothing.
    if (sd_bus_message_is_method_error(reply, nullptr) ||
        sd_bus_message_read(reply, "b", &inhibited) < 0) {
        inhibited = 0;
    }
    sources.inhibited = inhibited != 0;
    if (!sources.inhibited && sources.heldBack) {
        // Idle for longer than asked, and nothing holds it back now.
        sources.heldBack = false;
        Idled(sources);
    }
    return 0;
}

// Asks the session manager again; the answer comes through OnInhibited. It is not started on
// demand: a session without one inhibits nothing.
void QueryInhibited(IdleSources& sources) {
    sources.inhibitedQuery = sd_bus_slot_unref(sources.inhibitedQuery); // its answer is stale
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(sources.bus, &call, kSessionManager, kSessionManagerPath,
                                       kSessionManager, "IsInhibited") >= 0 &&
        sd_bus_message_set_auto_start(call, 0) >= 0 &&
        sd_bus_message_append(call, "u", kInhibitIdle) >= 0) {
        sd_bus_call_async(sources.bus, &sources.inhibitedQuery, call, OnInhibited, &sources, 0);
    }
    sd_bus_message_unref(call);
}

int OnInhibitorsChanged(sd_bus_message*, void* data, sd_bus_error*) {
    QueryInhibited(*static_cast<IdleSources*>(data));
    return 0;
}

} // namespace

bool StartMutterIdleWatch(IdleSources& sources, int timeoutMs) {
    if (sd_bus_open_user(&sources.bus) < 0) {
        sources.bus = nullptr;
        return false;
    }
    // The signals first, so that none comes between a call and its match. The sender is not
    // matched: the bus delivers by unique names, and these paths are the services' own.
    sd_bus_message* reply = nullptr;
    const bool started =
        sd_bus_match_signal(sources.bus, &sources.watchFired, nullptr, kMonitorPath, kMonitor,
                            "WatchFired", OnWatchFired, &sources) >= 0 &&
        sd_bus_match_signal(sources.bus, &sources.inhibitorAdded, nullptr, kSessionManagerPath,
                            kSessionManager, "InhibitorAdded", OnInhibitorsChanged,
                            &sources) >= 0 &&
        sd_bus_match_signal(sources.bus, &sources.inhibitorRemoved, nullptr, kSessionManagerPath,
                            kSessionManager, "InhibitorRemoved", OnInhibitorsChanged,
                            &sources) >= 0 &&
        sd_bus_call_method(sources.bus, kMonitor, kMonitorPath, kMonitor, "AddIdleWatch", nullptr,
                           &reply, "t", static_cast<uint64_t>(timeoutMs)) >= 0 &&
        sd_bus_message_read(reply, "u", &sources.idleWatch) > 0;
    sd_bus_message_unref(reply);
    if (!started) {
        StopMutterIdleWatch(sources);
        return false;
    }
    QueryInhibited(sources);
    return DispatchMutterIdleWatch(sources);
}

int MutterIdleWatchFd(const IdleSources& sources) {
    return sources.bus != nullptr ? sd_bus_get_fd(sources.bus) : -1;
}

bool DispatchMutterIdleWatch(IdleSources& sources) {
    // Until nothing is left: a reply waited for may have brought other messages along, which
    // would otherwise sit in the queue with nothing on the descriptor to say so.
    int r = 0;
    while ((r = sd_bus_process(sources.bus, nullptr)) > 0) {
    }
    return r >= 0 && sd_bus_flush(sources.bus) >= 0;
}

void StopMutterIdleWatch(IdleSources& sources) {
    if (sources.bus == nullptr) {
        return;
    }
    for (const uint32_t id : {sources.idleWatch, sources.activeWatch}) {
        if (id != 0) {
            sd_bus_call_method(sources.bus, kMonitor, kMonitorPath, kMonitor, "RemoveWatch",
                               nullptr, nullptr, "u", id);
        }
    }
    for (sd_bus_slot** slot : {&sources.watchFired, &sources.inhibitorAdded,
                               &sources.inhibitorRemoved, &sources.inhibitedQuery}) {
        *slot = sd_bus_slot_unref(*slot);
    }
    sources.bus = sd_bus_flush_close_unref(sources.bus);
    sources.idleWatch = 0;
    sources.activeWatch = 0;
}

// idle_mutter_dbus.h -- the idle source of GNOME, where the compositor offers no idle protocol:
// Mutter's idle monitor on the session bus, held back by the session manager's inhibitors.
#pragma once

#include "wayland/idle_wayland.h"

// False, with the bus released, when there is no session bus or no idle monitor on it.
bool StartMutterIdleWatch(IdleSources& sources, int timeoutMs);
int MutterIdleWatchFd(const IdleSources& sources);
bool DispatchMutterIdleWatch(IdleSources& sources);
void StopMutterIdleWatch(IdleSources& sources);

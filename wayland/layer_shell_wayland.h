// layer_shell_wayland.h -- the layer shell's generated client header, whose request argument is
// named "namespace": a C name but a C++ keyword.
#pragma once

#include <wayland-client.h>

#define namespace name_space
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

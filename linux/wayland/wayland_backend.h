// The Wayland overlay (layer-shell surfaces) as an entry of the back-end table.
#pragma once

#include "linux/overlay_backend.h"

extern const OverlayBackend kWaylandBackend;

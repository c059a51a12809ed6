// The X11 overlay as an entry of the back-end table.
#pragma once

#include "linux/overlay_backend.h"

extern const OverlayBackend kX11Backend;

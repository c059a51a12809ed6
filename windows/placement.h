// The virtual screen as the window manager reports it.
#pragma once

#include "render/placement.h"

// GetSystemMetrics: SM_XVIRTUALSCREEN, SM_YVIRTUALSCREEN, SM_CXVIRTUALSCREEN, SM_CYVIRTUALSCREEN.
VirtualScreen QueryVirtualScreen();

// Where the overlay stands and what it shows, for one arrangement of displays. The player lays
// itself out with this at start and after every display change; vektool previews with it.
#pragma once

#include <cstdint>
#include <vector>

#include "render/placement.h"
#include "settings/monitor_list.h"
#include "settings/playback_settings.h"

struct OverlayLayout {
    // The window's rectangle in virtual-desktop coordinates.
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    // The monitor a ChosenMonitor layout stands on: the chosen one, or the primary display when
    // the chosen position names no display any more; -1 when the layout covers the virtual screen.
    int32_t monitorIndex = -1;
    // The monitor list: every display in virtual-desktop coordinates, in the display list's order.
    std::vector<MonitorEntry> monitors;
    // Where the picture goes inside the window; empty when the frame size is not known yet.
    std::vector<Placement> placements;
};

// ChosenMonitor: the chosen display's rectangle; when its position names no display (a monitor
// unplugged since the dialog), the primary display's; with no primary either, the virtual screen.
// WholeDesktop and EachMonitor: the virtual screen. Placements follow BuildPlacements for the
// resulting window; a frame of zero width or height gives none.
OverlayLayout LayOutOverlay(const PlaybackSettings& settings,
                            const std::vector<DisplayEntry>& displays, const VirtualScreen& screen,
                            int32_t frameWidth, int32_t frameHeight);

// The smallest rectangle around every display, as the platforms report the virtual screen; an
// empty list gives an empty screen.
VirtualScreen BoundingScreen(const std::vector<DisplayEntry>& displays);

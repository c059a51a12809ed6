// What full-screen applications in front take away from the overlay: the displays they cover
// show nothing of the overlay, and when that leaves nothing to show, playback pauses. The one
// rule of both players.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "render/overlay_layout.h"
#include "settings/monitor_list.h"

// The displays whose whole rectangle lies inside one of `windows` (windows' rectangles in
// virtual-desktop coordinates), in the display list's order. A display of no size is never
// covered.
std::vector<MonitorRect> CoveredDisplays(const std::vector<DisplayEntry>& displays,
                                         std::span<const MonitorRect> windows);

inline std::vector<MonitorRect> CoveredDisplays(const std::vector<DisplayEntry>& displays,
                                                const MonitorRect& window) {
    return CoveredDisplays(displays, std::span<const MonitorRect>(&window, 1));
}

// The covered parts of the overlay, relative to its corner and clipped to it; the worker clears
// them after drawing. Covered displays outside the overlay give nothing.
std::vector<MonitorEntry> HiddenAreas(const std::vector<MonitorRect>& covered,
                                      const OverlayLayout& layout);

// True when every display that the overlay's rectangle reaches is covered: nothing of the
// picture could be seen. An overlay that reaches no display has nothing to show either.
bool NothingLeftToShow(const std::vector<DisplayEntry>& displays,
                       const std::vector<MonitorRect>& covered, const OverlayLayout& layout);

// What a full-screen application in front takes away from the overlay: the displays it covers
// show nothing of the overlay, and when that leaves nothing to show, playback pauses.
#pragma once

#include <cstdint>
#include <vector>

#include "render/overlay_layout.h"
#include "settings/monitor_list.h"

// The displays whose whole rectangle lies inside `window` (a window's rectangle in
// virtual-desktop coordinates), in the display list's order.
std::vector<MonitorRect> CoveredDisplays(const std::vector<DisplayEntry>& displays,
                                         const MonitorRect& window);

// The covered parts of the overlay, relative to its corner and clipped to it; the worker clears
// them after drawing. Covered displays outside the overlay give nothing.
std::vector<MonitorEntry> HiddenAreas(const std::vector<MonitorRect>& covered,
                                      const OverlayLayout& layout);

// True when every display that the overlay's rectangle reaches is covered: nothing of the
// picture could be seen. An overlay that reaches no display has nothing to show either.
bool NothingLeftToShow(const std::vector<DisplayEntry>& displays,
                       const std::vector<MonitorRect>& covered, const OverlayLayout& layout);

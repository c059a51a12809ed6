// Which parts of the overlay show: the opaque part of a picture, for a window shaped to its
// shadow where nothing composites it, and the monitors that full-screen windows leave free.
// Rectangles in, rectangles out: the platforms turn them into window shapes or regions.
#pragma once

#include <cstdint>
#include <vector>

#include "settings/monitor_list.h"

// The pixels of a premultiplied A8R8G8B8 picture whose alpha is at least half (128), as
// rectangles in picture coordinates, sorted by top then left, none overlapping. Rows with the
// same runs become one rectangle band (the YX-banded order of X's shape requests).
std::vector<MonitorRect> OpaqueRectangles(const uint32_t* pixels, int32_t width, int32_t height);

// True when `outer` contains the whole of `inner`.
bool Contains(const MonitorRect& outer, const MonitorRect& inner);

// The monitors the overlay shows on: those of `monitors` that meet the window `window`.
std::vector<MonitorRect> MonitorsUnder(const MonitorRect& window,
                                       const std::vector<MonitorRect>& monitors);

// The monitors of `shown` that one of `fullScreen` (windows that fill a monitor) covers whole:
// the overlay shows nothing there.
std::vector<MonitorRect> CoveredMonitors(const std::vector<MonitorRect>& shown,
                                         const std::vector<MonitorRect>& fullScreen);

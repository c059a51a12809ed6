// Which part of a picture shows, for a window shaped to its shadow where nothing composites it.
// Rectangles out: the platform turns them into a window shape.
#pragma once

#include <cstdint>
#include <vector>

#include "settings/monitor_list.h"

// The pixels of a premultiplied A8R8G8B8 picture whose alpha is at least half (128), as
// rectangles in picture coordinates, sorted by top then left, none overlapping. Rows with the
// same runs become one rectangle band (the YX-banded order of X's shape requests).
std::vector<MonitorRect> OpaqueRectangles(const uint32_t* pixels, int32_t width, int32_t height);

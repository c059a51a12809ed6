// The two monitor lists: the display list the dialog shows and the monitor list
// the worker places pictures from. The platform enumeration lives in monitor_list_win32.cpp.
#pragma once

#include <cstdint>
#include <vector>

struct DisplayEntry {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;   // exclusive
    int32_t bottom = 0;  // exclusive
    bool primary = false;
};

struct MonitorEntry {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool operator==(const MonitorEntry&) const = default;
};

// A monitor's rectangle as the platform reports it, in virtual-desktop coordinates.
struct MonitorRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool operator==(const MonitorRect&) const = default;
};

// Monitor entries relative to `origin` (the overlay's client origin on screen), in list order.
std::vector<MonitorEntry> MonitorEntriesFrom(const std::vector<MonitorRect>& rects, int32_t originX,
                                             int32_t originY);

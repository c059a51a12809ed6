#include "settings/monitor_list.h"

namespace {

// Differences of platform coordinates are taken in 64 bits and wrapped back, so absurd
// rectangles give absurd entries instead of undefined behaviour.
int32_t Difference(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<int64_t>(a) - static_cast<int64_t>(b));
}

}  // namespace

std::vector<MonitorEntry> MonitorEntriesFrom(const std::vector<MonitorRect>& rects, int32_t originX,
                                             int32_t originY) {
    std::vector<MonitorEntry> entries;
    entries.reserve(rects.size());
    for (const MonitorRect& rect : rects) {
        entries.push_back({Difference(rect.left, originX), Difference(rect.top, originY),
                           Difference(rect.right, rect.left), Difference(rect.bottom, rect.top)});
    }
    return entries;
}

#include "render/screen_cover.h"

#include <algorithm>

namespace {

bool Contains(const MonitorRect& outer, const DisplayEntry& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom && inner.left < inner.right && inner.top < inner.bottom;
}

bool SameRect(const MonitorRect& a, const DisplayEntry& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The overlay's rectangle in virtual-desktop coordinates, widened so that sums cannot overflow.
struct Span {
    int64_t left, top, right, bottom;
};

Span SpanOf(const OverlayLayout& layout) {
    return Span{layout.left, layout.top, int64_t{layout.left} + layout.width,
                int64_t{layout.top} + layout.height};
}

bool Overlaps(const Span& span, const DisplayEntry& d) {
    return std::max<int64_t>(span.left, d.left) < std::min<int64_t>(span.right, d.right) &&
           std::max<int64_t>(span.top, d.top) < std::min<int64_t>(span.bottom, d.bottom);
}

}  // namespace

std::vector<MonitorRect> CoveredDisplays(const std::vector<DisplayEntry>& displays,
                                         std::span<const MonitorRect> windows) {
    std::vector<MonitorRect> covered;
    for (const DisplayEntry& d : displays) {
        const bool whole = std::any_of(windows.begin(), windows.end(),
                                       [&d](const MonitorRect& w) { return Contains(w, d); });
        if (whole) covered.push_back({d.left, d.top, d.right, d.bottom});
    }
    return covered;
}

std::optional<MonitorRect> FullScreenArea(const ForegroundWindowFacts& facts) {
    if (facts.maximized && facts.caption) return std::nullopt;
    if (!facts.caption && !facts.thickFrame) return facts.window;
    return facts.client;
}

std::vector<MonitorRect> DisplaysTakenByForeground(const std::vector<DisplayEntry>& displays,
                                                   const ForegroundWindowFacts* facts,
                                                   ShellFullScreen shell,
                                                   const MonitorRect& foregroundMonitor) {
    if (facts != nullptr) {
        if (const std::optional<MonitorRect> area = FullScreenArea(*facts)) {
            std::vector<MonitorRect> covered = CoveredDisplays(displays, *area);
            if (!covered.empty()) return covered;
        }
    }
    if (shell == ShellFullScreen::Direct3D) return CoveredDisplays(displays, foregroundMonitor);
    return {};
}

LocationHookChoice ChooseLocationHook(const std::optional<WindowThreadId>& hooked,
                                      const std::optional<WindowThreadId>& foreground,
                                      uint32_t ownProcess) {
    const bool follow = foreground.has_value() && foreground->process != ownProcess;
    if (!follow) return {hooked ? HookStep::Unhook : HookStep::Keep, {}};
    if (hooked == foreground) return {HookStep::Keep, {}};
    return {HookStep::Hook, *foreground};
}

std::vector<MonitorEntry> HiddenAreas(const std::vector<MonitorRect>& covered,
                                      const OverlayLayout& layout) {
    const Span span = SpanOf(layout);
    std::vector<MonitorEntry> areas;
    for (const MonitorRect& c : covered) {
        const int64_t left = std::max<int64_t>(span.left, c.left);
        const int64_t top = std::max<int64_t>(span.top, c.top);
        const int64_t right = std::min<int64_t>(span.right, c.right);
        const int64_t bottom = std::min<int64_t>(span.bottom, c.bottom);
        if (left >= right || top >= bottom) continue;
        areas.push_back(MonitorEntry{int32_t(left - span.left), int32_t(top - span.top),
                                     int32_t(right - left), int32_t(bottom - top)});
    }
    return areas;
}

bool NothingLeftToShow(const std::vector<DisplayEntry>& displays,
                       const std::vector<MonitorRect>& covered, const OverlayLayout& layout) {
    const Span span = SpanOf(layout);
    for (const DisplayEntry& d : displays) {
        if (!Overlaps(span, d)) continue;
        const bool isCovered = std::any_of(covered.begin(), covered.end(),
                                           [&d](const MonitorRect& c) { return SameRect(c, d); });
        if (!isCovered) return false;
    }
    return true;
}

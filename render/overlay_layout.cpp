#include "render/overlay_layout.h"

#include <algorithm>

namespace {

// The display a ChosenMonitor layout stands on, or -1 for the whole virtual screen.
int32_t StandingDisplay(const PlaybackSettings& settings,
                        const std::vector<DisplayEntry>& displays) {
    if (settings.displayMode != ChosenMonitor) return -1;
    const int32_t chosen = settings.monitorIndex;
    if (chosen >= 0 && static_cast<size_t>(chosen) < displays.size()) return chosen;
    const auto primary = std::find_if(displays.begin(), displays.end(),
                                      [](const DisplayEntry& d) { return d.primary; });
    if (primary == displays.end()) return -1;
    return static_cast<int32_t>(primary - displays.begin());
}

std::vector<MonitorRect> RectsOf(const std::vector<DisplayEntry>& displays) {
    std::vector<MonitorRect> rects;
    rects.reserve(displays.size());
    for (const DisplayEntry& d : displays) rects.push_back({d.left, d.top, d.right, d.bottom});
    return rects;
}

}  // namespace

OverlayLayout LayOutOverlay(const PlaybackSettings& settings,
                            const std::vector<DisplayEntry>& displays, const VirtualScreen& screen,
                            int32_t frameWidth, int32_t frameHeight) {
    OverlayLayout layout;
    layout.monitorIndex = StandingDisplay(settings, displays);
    if (layout.monitorIndex >= 0) {
        const DisplayEntry& d = displays[static_cast<size_t>(layout.monitorIndex)];
        layout.left = d.left;
        layout.top = d.top;
        layout.width = static_cast<int32_t>(int64_t{d.right} - d.left);
        layout.height = static_cast<int32_t>(int64_t{d.bottom} - d.top);
    } else {
        layout.left = screen.x;
        layout.top = screen.y;
        layout.width = screen.width;
        layout.height = screen.height;
    }
    layout.monitors = MonitorEntriesFrom(RectsOf(displays), 0, 0);
    if (frameWidth <= 0 || frameHeight <= 0) return layout;

    // A chosen position that fell back to the virtual screen is laid out as the whole desktop.
    const int32_t mode = settings.displayMode == ChosenMonitor && layout.monitorIndex < 0
                             ? WholeDesktop
                             : settings.displayMode;
    layout.placements = BuildPlacements(mode, layout.monitorIndex, layout.monitors, frameWidth,
                                        frameHeight, screen, layout.width, layout.height);
    return layout;
}

VirtualScreen BoundingScreen(const std::vector<DisplayEntry>& displays) {
    if (displays.empty()) return {};
    int64_t left = displays.front().left, top = displays.front().top;
    int64_t right = displays.front().right, bottom = displays.front().bottom;
    for (const DisplayEntry& d : displays) {
        left = std::min<int64_t>(left, d.left);
        top = std::min<int64_t>(top, d.top);
        right = std::max<int64_t>(right, d.right);
        bottom = std::max<int64_t>(bottom, d.bottom);
    }
    return {static_cast<int32_t>(left), static_cast<int32_t>(top),
            static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top)};
}

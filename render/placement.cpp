#include "render/placement.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Truncation toward zero into int32, saturating, so that extreme frame or area sizes cannot make
// the conversion undefined.
int32_t TruncateToInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double kLowest = std::numeric_limits<int32_t>::lowest();
    constexpr double kHighest = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::clamp(std::trunc(value), kLowest, kHighest));
}

int32_t SaturatingSum(int64_t a, int64_t b) {
    const int64_t sum = a + b;
    return static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::lowest(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Half-pixel overflows round toward the area: -179.5 gives -179.
int32_t CentringOffset(int32_t areaSize, int32_t pictureSize) {
    const double difference =
        static_cast<double>(static_cast<int64_t>(areaSize) - static_cast<int64_t>(pictureSize));
    return TruncateToInt32(difference * 0.5 + 0.5);
}

}  // namespace

PictureSize FitPicture(int32_t areaWidth, int32_t areaHeight, int32_t frameWidth,
                       int32_t frameHeight) {
    // A frame without pixels has no aspect to keep; the picture then just covers the area.
    // Nothing is drawn from such a frame, this only keeps the arithmetic defined.
    if (frameWidth <= 0 || frameHeight <= 0) {
        return {areaWidth, areaHeight};
    }
    const double rx = static_cast<double>(areaWidth) / static_cast<double>(frameWidth);
    const double ry = static_cast<double>(areaHeight) / static_cast<double>(frameHeight);
    const double scale = ry > rx ? ry : rx;
    return {TruncateToInt32(scale * frameWidth + 0.5), TruncateToInt32(scale * frameHeight + 0.5)};
}

Placement PlaceArea(int32_t areaLeft, int32_t areaTop, int32_t areaWidth, int32_t areaHeight,
                    int32_t frameWidth, int32_t frameHeight) {
    Placement placement;
    placement.areaWidth = areaWidth;
    placement.areaHeight = areaHeight;
    placement.areaLeft = areaLeft;
    placement.areaTop = areaTop;
    placement.viewport.X = static_cast<uint32_t>(areaLeft);
    placement.viewport.Y = static_cast<uint32_t>(areaTop);
    placement.viewport.Width = static_cast<uint32_t>(areaWidth);
    placement.viewport.Height = static_cast<uint32_t>(areaHeight);
    placement.viewport.MinZ = 0.0f;
    placement.viewport.MaxZ = 0.0f;
    const PictureSize picture = FitPicture(areaWidth, areaHeight, frameWidth, frameHeight);
    placement.pictureWidth = picture.width;
    placement.pictureHeight = picture.height;
    placement.pictureLeft = SaturatingSum(areaLeft, CentringOffset(areaWidth, picture.width));
    placement.pictureTop = SaturatingSum(areaTop, CentringOffset(areaHeight, picture.height));
    return placement;
}

std::vector<Placement> BuildPlacements(int32_t displayMode, int32_t monitorIndex,
                                       const std::vector<MonitorEntry>& monitors,
                                       int32_t frameWidth, int32_t frameHeight,
                                       const VirtualScreen& screen) {
    return BuildPlacements(displayMode, monitorIndex, monitors, frameWidth, frameHeight, screen,
                           screen.width, screen.height);
}

std::vector<Placement> BuildPlacements(int32_t displayMode, int32_t monitorIndex,
                                       const std::vector<MonitorEntry>& monitors,
                                       int32_t frameWidth, int32_t frameHeight,
                                       const VirtualScreen& screen, int32_t windowWidth,
                                       int32_t windowHeight) {
    std::vector<Placement> placements;
    if (displayMode == WholeDesktop) {
        placements.push_back(PlaceArea(0, 0, screen.width, screen.height, frameWidth, frameHeight));
    } else if (displayMode == ChosenMonitor) {
        // The monitor list may have changed since the index was chosen; an index that names no
        // entry is treated as a monitor of the window's own size, which the window stands on.
        const bool named = monitorIndex >= 0 && static_cast<size_t>(monitorIndex) < monitors.size();
        const int32_t width = named ? monitors[monitorIndex].width : windowWidth;
        const int32_t height = named ? monitors[monitorIndex].height : windowHeight;
        placements.push_back(PlaceArea(0, 0, width, height, frameWidth, frameHeight));
    } else {
        placements.reserve(monitors.size());
        for (const MonitorEntry& monitor : monitors) {
            placements.push_back(PlaceArea(SaturatingSum(monitor.x, -int64_t{screen.x}),
                                           SaturatingSum(monitor.y, -int64_t{screen.y}),
                                           monitor.width, monitor.height, frameWidth, frameHeight));
        }
    }
    return placements;
}

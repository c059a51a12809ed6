#include "render/overlay_shape.h"

#include <algorithm>

namespace {

using Runs = std::vector<std::pair<int32_t, int32_t>>;  // [begin, end) of each opaque run

void OpaqueRuns(const uint32_t* row, int32_t width, Runs& runs) {
    runs.clear();
    int32_t x = 0;
    while (x < width) {
        while (x < width && (row[x] >> 24) < 128) ++x;
        if (x == width) break;
        const int32_t begin = x;
        while (x < width && (row[x] >> 24) >= 128) ++x;
        runs.emplace_back(begin, x);
    }
}

void CloseBand(const Runs& runs, int32_t top, int32_t bottom, std::vector<MonitorRect>& out) {
    for (const auto& [begin, end] : runs) out.push_back({begin, top, end, bottom});
}

}  // namespace

std::vector<MonitorRect> OpaqueRectangles(const uint32_t* pixels, int32_t width, int32_t height) {
    std::vector<MonitorRect> rects;
    if (!pixels || width <= 0 || height <= 0) return rects;
    Runs band, row;
    int32_t bandTop = 0;
    for (int32_t y = 0; y < height; ++y) {
        OpaqueRuns(pixels + size_t(y) * size_t(width), width, row);
        if (y > 0 && row == band) continue;
        CloseBand(band, bandTop, y, rects);
        band.swap(row);
        bandTop = y;
    }
    CloseBand(band, bandTop, height, rects);
    return rects;
}

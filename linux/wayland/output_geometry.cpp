#include "linux/wayland/output_geometry.h"

#include <algorithm>
#include <cstring>

PixelRect Intersection(const PixelRect& a, const PixelRect& b) {
    const int32_t left = std::max(a.left, b.left);
    const int32_t top = std::max(a.top, b.top);
    const int32_t right = std::min(a.left + a.width, b.left + b.width);
    const int32_t bottom = std::min(a.top + a.height, b.top + b.height);
    if (right <= left || bottom <= top) return {};
    return {left, top, right - left, bottom - top};
}

PixelRect Union(const PixelRect& a, const PixelRect& b) {
    if (a.Empty()) return b;
    if (b.Empty()) return a;
    const int32_t left = std::min(a.left, b.left);
    const int32_t top = std::min(a.top, b.top);
    const int32_t right = std::max(a.left + a.width, b.left + b.width);
    const int32_t bottom = std::max(a.top + a.height, b.top + b.height);
    return {left, top, right - left, bottom - top};
}

int32_t PictureScale(const std::vector<WaylandOutput>& outputs) {
    int32_t scale = 1;
    for (const WaylandOutput& output : outputs) scale = std::max(scale, output.scale);
    return scale;
}

std::vector<DisplayEntry> ScaledDisplays(const std::vector<WaylandOutput>& outputs, int32_t scale) {
    std::vector<DisplayEntry> displays;
    bool anyPrimary = false;
    for (const WaylandOutput& output : outputs) anyPrimary = anyPrimary || output.primary;
    for (const WaylandOutput& output : outputs) {
        displays.push_back({output.x * scale, output.y * scale, (output.x + output.width) * scale,
                            (output.y + output.height) * scale,
                            anyPrimary ? output.primary : displays.empty()});
    }
    return displays;
}

std::vector<DisplayEntry> LogicalDisplays(const std::vector<WaylandOutput>& outputs) {
    return ScaledDisplays(outputs, 1);
}

PixelRect OutputCrop(const WaylandOutput& output, const OverlayLayout& layout, int32_t scale) {
    const PixelRect onPicture{output.x * scale - layout.left, output.y * scale - layout.top,
                              output.width * scale, output.height * scale};
    return Intersection(onPicture, {0, 0, layout.width, layout.height});
}

namespace {

bool RowsDiffer(const uint32_t* a, const uint32_t* b, int32_t width) {
    return std::memcmp(a, b, size_t(width) * 4) != 0;
}

}  // namespace

PixelRect ChangedArea(const uint32_t* before, const uint32_t* after, int32_t width,
                      int32_t height) {
    int32_t top = 0;
    while (top < height &&
           !RowsDiffer(before + size_t(top) * width, after + size_t(top) * width, width)) {
        ++top;
    }
    if (top == height) return {};
    int32_t bottom = height;
    while (!RowsDiffer(before + size_t(bottom - 1) * width, after + size_t(bottom - 1) * width,
                       width)) {
        --bottom;
    }
    int32_t left = width;
    int32_t right = 0;
    for (int32_t y = top; y < bottom; ++y) {
        const uint32_t* a = before + size_t(y) * width;
        const uint32_t* b = after + size_t(y) * width;
        for (int32_t x = 0; x < left; ++x) {
            if (a[x] != b[x]) {
                left = x;
                break;
            }
        }
        for (int32_t x = width - 1; x >= right; --x) {
            if (a[x] != b[x]) {
                right = x + 1;
                break;
            }
        }
    }
    return {left, top, right - left, bottom - top};
}

PixelRect SurfaceDamage(const PixelRect& area, const PixelRect& crop, int32_t scale) {
    const PixelRect inside = Intersection(area, crop);
    if (inside.Empty()) return {};
    const int32_t left = (inside.left - crop.left) / scale;
    const int32_t top = (inside.top - crop.top) / scale;
    const int32_t right = (inside.left + inside.width - crop.left + scale - 1) / scale;
    const int32_t bottom = (inside.top + inside.height - crop.top + scale - 1) / scale;
    return {left, top, right - left, bottom - top};
}

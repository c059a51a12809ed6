// Where each Wayland output's layer surface takes its pixels from, and what changed between two
// pictures. No display header: the native tests use it without a compositor.
#pragma once

#include <cstdint>
#include <vector>

#include "render/overlay_layout.h"
#include "settings/monitor_list.h"

// An output as the compositor describes it: logical position and size, and its integer scale.
struct WaylandOutput {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t scale = 1;
    bool primary = false;
};

// A rectangle of picture pixels.
struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool Empty() const { return width <= 0 || height <= 0; }
    bool operator==(const PixelRect&) const = default;
};

PixelRect Intersection(const PixelRect& a, const PixelRect& b);
PixelRect Union(const PixelRect& a, const PixelRect& b);  // the box around both

// The picture is rendered once at the largest scale of any output, so that the shadow is sharp
// there; outputs of a smaller scale are given it through a buffer scale and shrink it.
int32_t PictureScale(const std::vector<WaylandOutput>& outputs);

// The outputs as the display list, in logical coordinates (the first one primary when the
// compositor names none), and the same multiplied by `scale`, which the worker renders from.
std::vector<DisplayEntry> LogicalDisplays(const std::vector<WaylandOutput>& outputs);
std::vector<DisplayEntry> ScaledDisplays(const std::vector<WaylandOutput>& outputs, int32_t scale);

// The part of the picture (laid out as `layout`, in scaled coordinates) that `output` shows;
// empty when the layout does not reach the output.
PixelRect OutputCrop(const WaylandOutput& output, const OverlayLayout& layout, int32_t scale);

// The box around every pixel that differs between two pictures of `width` × `height` words;
// empty when they are the same.
PixelRect ChangedArea(const uint32_t* before, const uint32_t* after, int32_t width, int32_t height);

// `area` (picture pixels) as the surface coordinates of an output showing `crop`, rounded
// outwards, so that damage covers every pixel it touches.
PixelRect SurfaceDamage(const PixelRect& area, const PixelRect& crop, int32_t scale);

// Draws the frame-rate label into a premultiplied A8R8G8B8 picture with cairo.
#pragma once

#include <cstdint>
#include <string>

// The label's box from the picture's top-left corner.
struct RateLabelBox {
    int32_t width = 0;
    int32_t height = 0;
};

// Yellow text on an opaque black box of the text's size, in the picture's top-left corner,
// clipped to the picture. Returns the box, for an overlay that tells what it changed.
RateLabelBox DrawRateLabel(uint32_t* pixels, int32_t width, int32_t height,
                           const std::string& text);

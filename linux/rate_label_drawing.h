// Draws the frame-rate label into a premultiplied A8R8G8B8 picture with cairo.
#pragma once

#include <cstdint>
#include <string>

// Yellow text on an opaque black box of the text's size, in the picture's top-left corner,
// clipped to the picture.
void DrawRateLabel(uint32_t* pixels, int32_t width, int32_t height, const std::string& text);

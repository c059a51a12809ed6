#include "render/compose.h"

#include <cstddef>

namespace {

// x / 255 for every x in 0..65025 (any product of two bytes), without a division, so that the
// compiler can vectorise the row loop.
inline uint32_t DivideBy255(uint32_t x) {
    return (x + 1 + (x >> 8)) >> 8;
}

}  // namespace

void ComposeFrame(const uint8_t* frame, int32_t W, int32_t H, uint8_t S, uint32_t* shadowBuffer,
                  uint32_t* cutoutBuffer) {
    if (W <= 0 || H <= 0) {
        return;
    }
    const size_t width = static_cast<size_t>(W);
    const uint32_t shadow = S;
    for (size_t r = 0; r < static_cast<size_t>(H); ++r) {
        // The frame is stored bottom row first; the buffers are written top row first.
        const uint8_t* source = frame + (static_cast<size_t>(H) - 1 - r) * width;
        uint32_t* shadowRow = shadowBuffer + r * width;
        uint32_t* cutoutRow = cutoutBuffer + r * width;
        for (size_t c = 0; c < width; ++c) {
            const uint32_t ink = 255u - source[c];
            shadowRow[c] = DivideBy255(shadow * ink) << 24;
            cutoutRow[c] = ink << 24;
        }
    }
}

#include "render/compose.h"

#include <cstddef>

namespace {

// x / 255 for every x in 0..65025 (any product of two bytes), without a division. Everything
// stays within 16 bits, so the compiler vectorises the row loop with 16-bit multiplies.
inline uint16_t DivideBy255(uint16_t x) {
    return static_cast<uint16_t>((x + 1 + (x >> 8)) >> 8);
}

void ComposeRow(const uint8_t* __restrict source, size_t width, uint16_t S,
                uint32_t* __restrict shadowRow, uint32_t* __restrict cutoutRow) {
    for (size_t c = 0; c < width; ++c) {
        const auto ink = static_cast<uint16_t>(255 - source[c]);
        const uint16_t alpha = DivideBy255(static_cast<uint16_t>(S * ink));
        shadowRow[c] = uint32_t{alpha} << 24;
        cutoutRow[c] = uint32_t{ink} << 24;
    }
}

}  // namespace

void ComposeFrame(const uint8_t* frame, int32_t W, int32_t H, uint8_t S, uint32_t* shadowBuffer,
                  uint32_t* cutoutBuffer) {
    if (W <= 0 || H <= 0) {
        return;
    }
    const size_t width = static_cast<size_t>(W);
    for (size_t r = 0; r < static_cast<size_t>(H); ++r) {
        // The frame is stored bottom row first; the buffers are written top row first.
        ComposeRow(frame + (static_cast<size_t>(H) - 1 - r) * width, width, S,
                   shadowBuffer + r * width, cutoutBuffer + r * width);
    }
}

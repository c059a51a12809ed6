#include "tests/windows/frame_patterns.h"

const char* PatternName(Pattern pattern) {
    switch (pattern) {
        case Pattern::Noise:
            return "noise";
        case Pattern::Gradient:
            return "gradient";
        case Pattern::Disc:
            return "disc";
    }
    return "?";
}

std::vector<uint8_t> MakeFrame(Pattern pattern, int32_t W, int32_t H, int seed) {
    std::vector<uint8_t> frame(size_t(W) * H);
    uint32_t state = uint32_t(seed) * 2654435761u + 12345u;
    for (int32_t y = 0; y < H; ++y) {
        for (int32_t x = 0; x < W; ++x) {
            uint8_t& v = frame[size_t(y) * W + x];
            switch (pattern) {
                case Pattern::Noise:
                    state = state * 1664525u + 1013904223u;
                    v = uint8_t(state >> 24);
                    break;
                case Pattern::Gradient:
                    v = uint8_t((x * 255 / (W > 1 ? W - 1 : 1) + y * 37 + seed * 50) & 0xFF);
                    break;
                case Pattern::Disc: {
                    // A dark disc, off centre by the seed, with a hard edge.
                    const int64_t cx = W / 2 + seed, cy = H / 3;
                    const int64_t r = (W < H ? W : H) / 3 + 1;
                    const int64_t dx = x - cx, dy = y - cy;
                    v = dx * dx + dy * dy <= r * r ? 0 : 255;
                    break;
                }
            }
        }
    }
    return frame;
}

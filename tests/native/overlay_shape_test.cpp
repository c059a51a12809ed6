#include "render/overlay_shape.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Describe(const std::vector<MonitorRect>& rects) {
    std::ostringstream out;
    for (const MonitorRect& r : rects) {
        out << "[" << r.left << "," << r.top << " - " << r.right << "," << r.bottom << ") ";
    }
    return out.str();
}

// A picture from rows of alpha values, premultiplied black.
std::vector<uint32_t> Picture(const std::vector<std::vector<uint8_t>>& alphas) {
    std::vector<uint32_t> pixels;
    for (const auto& row : alphas) {
        for (uint8_t a : row) pixels.push_back(uint32_t(a) << 24);
    }
    return pixels;
}

TEST(OpaqueRectangles, HalfAlphaAndUpShowsAndEqualRowsShareABand) {
    struct Case {
        std::string name;
        std::vector<std::vector<uint8_t>> alphas;
        std::vector<MonitorRect> expected;
    };
    const std::vector<Case> cases = {
        {"127 is out, 128 is in", {{0, 127, 128, 255, 255, 0}}, {{2, 0, 5, 1}}},
        {"a run to the right edge", {{0, 0, 200, 200}}, {{2, 0, 4, 1}}},
        {"two runs in a row",
         {{255, 0, 255, 255, 0, 255}},
         {{0, 0, 1, 1}, {2, 0, 4, 1}, {5, 0, 6, 1}}},
        {"equal rows, one band", {{0, 255, 255}, {0, 255, 255}, {0, 255, 255}}, {{1, 0, 3, 3}}},
        {"a changed row starts a band",
         {{255, 255, 0}, {255, 255, 0}, {0, 255, 255}},
         {{0, 0, 2, 2}, {1, 2, 3, 3}}},
        {"a clear row between equal rows splits them",
         {{255, 0}, {0, 0}, {255, 0}},
         {{0, 0, 1, 1}, {0, 2, 1, 3}}},
        {"all clear", {{0, 10}, {127, 0}}, {}},
        {"all opaque", {{255, 255}, {255, 255}}, {{0, 0, 2, 2}}},
    };
    for (const Case& c : cases) {
        const std::vector<uint32_t> pixels = Picture(c.alphas);
        const int32_t width = int32_t(c.alphas[0].size());
        const int32_t height = int32_t(c.alphas.size());
        const std::vector<MonitorRect> got = OpaqueRectangles(pixels.data(), width, height);
        EXPECT_EQ(Describe(got), Describe(c.expected)) << c.name;
    }
    EXPECT_TRUE(OpaqueRectangles(nullptr, 4, 4).empty());
    const uint32_t one = 0xff000000u;
    EXPECT_TRUE(OpaqueRectangles(&one, 0, 1).empty());
}

// On random pictures of blobs: every pixel lies in a rectangle exactly when its alpha is at least
// half, and the rectangles are in the YX-banded order that X's shape requests are told.
TEST(OpaqueRectangles, CoversExactlyTheOpaquePixelsInBandedOrder) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 40; ++trial) {
        const int32_t width = 1 + int32_t(random() % 40), height = 1 + int32_t(random() % 30);
        std::vector<uint32_t> pixels(size_t(width) * size_t(height));
        // Runs along rows copied down a few rows, so that bands of several rows occur.
        for (int32_t y = 0; y < height; ++y) {
            if (y > 0 && random() % 3 != 0) {
                std::copy_n(&pixels[size_t(y - 1) * size_t(width)], width,
                            &pixels[size_t(y) * size_t(width)]);
                continue;
            }
            for (int32_t x = 0; x < width; ++x)
                pixels[size_t(y) * size_t(width) + size_t(x)] = uint32_t(random() % 256) << 24;
        }
        const std::vector<MonitorRect> rects = OpaqueRectangles(pixels.data(), width, height);
        std::vector<int> hits(pixels.size(), 0);
        for (size_t i = 0; i < rects.size(); ++i) {
            const MonitorRect& r = rects[i];
            ASSERT_TRUE(r.left < r.right && r.top < r.bottom) << Describe({r});
            for (int32_t y = r.top; y < r.bottom; ++y) {
                for (int32_t x = r.left; x < r.right; ++x)
                    ++hits[size_t(y) * size_t(width) + size_t(x)];
            }
            if (i == 0) continue;
            const MonitorRect& p = rects[i - 1];
            const bool sameBand = p.top == r.top && p.bottom == r.bottom && p.right < r.left;
            const bool laterBand = p.bottom <= r.top;
            EXPECT_TRUE(sameBand || laterBand) << "trial " << trial << ": " << Describe({p, r});
        }
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const size_t i = size_t(y) * size_t(width) + size_t(x);
                ASSERT_EQ(hits[i], (pixels[i] >> 24) >= 128 ? 1 : 0)
                    << "trial " << trial << " pixel " << x << "," << y << " alpha "
                    << (pixels[i] >> 24) << " in " << Describe(rects);
            }
        }
    }
}

}  // namespace

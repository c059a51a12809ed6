#include "render/compose.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

struct Composed {
    std::vector<uint32_t> shadow;
    std::vector<uint32_t> cutout;
};

Composed Compose(const std::vector<uint8_t>& frame, int32_t W, int32_t H, uint8_t S) {
    // Garbage in the buffers beforehand: every word must be written.
    Composed out{std::vector<uint32_t>(frame.size(), 0xDEADBEEF),
                 std::vector<uint32_t>(frame.size(), 0xDEADBEEF)};
    ComposeFrame(frame.data(), W, H, S, out.shadow.data(), out.cutout.data());
    return out;
}

TEST(ComposeFrame, ExamplesOfTheShadowAndCutOutAlpha) {
    struct Case {
        int v, S, shadowAlpha, cutoutAlpha;
    };
    const Case cases[] = {{0, 255, 255, 255},  {0, 77, 77, 255}, {0, 0, 0, 255},
                          {255, 255, 0, 0},    {255, 3, 0, 0},   {100, 200, 121, 155},
                          {128, 255, 127, 127}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "v " << c.v << " S " << c.S);
        const Composed out = Compose({static_cast<uint8_t>(c.v)}, 1, 1, static_cast<uint8_t>(c.S));
        EXPECT_EQ(out.shadow[0], static_cast<uint32_t>(c.shadowAlpha) << 24);
        EXPECT_EQ(out.cutout[0], static_cast<uint32_t>(c.cutoutAlpha) << 24);
    }
}

TEST(ComposeFrame, MatchesTheTruncatedDivisionForEveryGreyAndOpacity) {
    // Every grey value, in rows of odd length so that vectorised loops meet their tails.
    constexpr int32_t W = 37;
    constexpr int32_t H = 7;
    std::vector<uint8_t> frame(W * H);
    for (size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<uint8_t>(i % 256);
    }
    for (int S = 0; S < 256; ++S) {
        const Composed out = Compose(frame, W, H, static_cast<uint8_t>(S));
        for (int32_t r = 0; r < H; ++r) {
            for (int32_t c = 0; c < W; ++c) {
                const uint32_t v = frame[(H - 1 - r) * W + c];
                const uint32_t expected = static_cast<uint32_t>(S) * (255 - v) / 255;
                const size_t at = static_cast<size_t>(r) * W + c;
                ASSERT_EQ(out.shadow[at], expected << 24) << "v " << v << " S " << S;
                ASSERT_EQ(out.cutout[at], (255 - v) << 24) << "v " << v;
            }
        }
    }
}

TEST(ComposeFrame, TurnsTheBottomUpFrameTopDown) {
    struct Case {
        int32_t W, H;
    };
    const Case cases[] = {{1, 1}, {3, 2}, {1, 5}, {64, 3}, {17, 9}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.W << " x " << c.H);
        // Each stored row r holds its own number, each column adds its own.
        std::vector<uint8_t> frame(static_cast<size_t>(c.W) * c.H);
        for (int32_t r = 0; r < c.H; ++r) {
            for (int32_t x = 0; x < c.W; ++x) {
                frame[static_cast<size_t>(r) * c.W + x] = static_cast<uint8_t>(r * 10 + x);
            }
        }
        const Composed out = Compose(frame, c.W, c.H, 255);
        for (int32_t row = 0; row < c.H; ++row) {
            for (int32_t x = 0; x < c.W; ++x) {
                const uint32_t storedRow = c.H - 1 - row;
                const uint32_t v = (storedRow * 10 + x) & 0xFF;
                EXPECT_EQ(out.cutout[static_cast<size_t>(row) * c.W + x] >> 24, 255 - v)
                    << "output row " << row << " column " << x;
            }
        }
    }
}

TEST(ComposeFrame, LeavesColourBitsZero) {
    std::vector<uint8_t> frame(256);
    for (int i = 0; i < 256; ++i) {
        frame[i] = static_cast<uint8_t>(i);
    }
    for (int S : {1, 128, 255}) {
        const Composed out = Compose(frame, 16, 16, static_cast<uint8_t>(S));
        for (size_t i = 0; i < frame.size(); ++i) {
            ASSERT_EQ(out.shadow[i] & 0x00FFFFFFu, 0u) << "S " << S << " at " << i;
            ASSERT_EQ(out.cutout[i] & 0x00FFFFFFu, 0u) << "S " << S << " at " << i;
        }
    }
}

TEST(ComposeFrame, EmptyFrameWritesNothing) {
    uint32_t shadow = 0x12345678;
    uint32_t cutout = 0x9ABCDEF0;
    const uint8_t grey = 0;
    ComposeFrame(&grey, 0, 5, 255, &shadow, &cutout);
    ComposeFrame(&grey, 5, 0, 255, &shadow, &cutout);
    EXPECT_EQ(shadow, 0x12345678u);
    EXPECT_EQ(cutout, 0x9ABCDEF0u);
}

}  // namespace

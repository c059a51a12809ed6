#include "render/software_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "render/compose.h"
#include "render/placement.h"

namespace {

struct Frame {
    int32_t W = 0;
    int32_t H = 0;
    std::vector<uint8_t> grey;  // bottom row first

    // Grey value of texture row `row` (top first), column `column`.
    uint8_t& At(int32_t column, int32_t row) {
        return grey[static_cast<size_t>(H - 1 - row) * W + column];
    }
};

Frame FlatFrame(int32_t W, int32_t H, uint8_t v) {
    return {W, H, std::vector<uint8_t>(static_cast<size_t>(W) * H, v)};
}

struct Target {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Target RenderWithReference(const Frame& frame, uint8_t S, uint8_t B,
                           const std::vector<Placement>& placements, int32_t width,
                           int32_t height) {
    std::vector<uint32_t> shadow(frame.grey.size());
    std::vector<uint32_t> cutout(frame.grey.size());
    ComposeFrame(frame.grey.data(), frame.W, frame.H, S, shadow.data(), cutout.data());
    Target target{width, height,
                  std::vector<uint32_t>(static_cast<size_t>(width) * height, 0x12345678)};
    RenderReference(shadow.data(), cutout.data(), frame.W, frame.H, B, placements,
                    target.pixels.data(), width, height);
    return target;
}

Target RenderFast(const Frame& frame, uint8_t S, uint8_t B,
                  const std::vector<Placement>& placements, int32_t width, int32_t height) {
    Target target{width, height,
                  std::vector<uint32_t>(static_cast<size_t>(width) * height, 0x12345678)};
    SoftwareRenderer renderer(frame.W, frame.H, width, height, placements);
    renderer.Render(frame.grey.data(), S, B, target.pixels.data());
    return target;
}

std::string Hex(uint32_t word) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", word);
    return text;
}

int ChannelDifference(uint32_t a, uint32_t b) {
    int largest = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int d =
            std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
        largest = std::max(largest, d);
    }
    return largest;
}

// The largest channel difference between two pictures, with the first pixel that reaches it.
struct Comparison {
    int largest = 0;
    int32_t x = -1;
    int32_t y = -1;
};

Comparison Compare(const Target& a, const Target& b) {
    Comparison result;
    for (int32_t y = 0; y < a.height; ++y) {
        for (int32_t x = 0; x < a.width; ++x) {
            const int d = ChannelDifference(a.At(x, y), b.At(x, y));
            if (d > result.largest) {
                result = {d, x, y};
            }
        }
    }
    return result;
}

// The finished pixel for a flat frame of grey v, from the blend table worked out by hand: the
// cut-out keeps round(B (1 - c)), the white draw copies that alpha into the colour, the shadow
// draw gives alpha round(s s + A (1 - s)) and colour round(A (1 - s)).
uint32_t FlatPixel(uint8_t v, uint8_t S, uint8_t B) {
    const double c = (255 - v) / 255.0;
    const double s = (S * (255 - v) / 255) / 255.0;
    const double kept = std::floor(B * (1 - c) + 0.5);
    const uint32_t alpha = static_cast<uint32_t>(std::floor(255 * s * s + kept * (1 - s) + 0.5));
    const uint32_t colour = static_cast<uint32_t>(std::floor(kept * (1 - s) + 0.5));
    return alpha << 24 | colour << 16 | colour << 8 | colour;
}

bool InsideAny(const std::vector<Placement>& placements, int32_t x, int32_t y) {
    for (const Placement& p : placements) {
        const bool inViewport = x >= static_cast<int64_t>(p.viewport.X) &&
                                x < int64_t{p.viewport.X} + p.viewport.Width &&
                                y >= static_cast<int64_t>(p.viewport.Y) &&
                                y < int64_t{p.viewport.Y} + p.viewport.Height;
        const bool inPicture = x >= p.pictureLeft && x < int64_t{p.pictureLeft} + p.pictureWidth &&
                               y >= p.pictureTop && y < int64_t{p.pictureTop} + p.pictureHeight;
        if (inViewport && inPicture) {
            return true;
        }
    }
    return false;
}

// Placement lists over a 96 x 64 target for a frame of the given size.
struct Layout {
    const char* name;
    std::vector<Placement> placements;
};

std::vector<Layout> Layouts(int32_t W, int32_t H) {
    Placement clipped = PlaceArea(10, 8, 40, 30, W, H);
    clipped.viewport.Width = 25;  // a viewport narrower than the area cuts the picture
    Placement offTarget = PlaceArea(70, 40, 60, 50, W, H);  // reaches past the target
    return {
        {"one area", {PlaceArea(0, 0, 96, 64, W, H)}},
        {"cropped area", {PlaceArea(20, 10, 33, 17, W, H)}},
        {"two areas side by side", {PlaceArea(0, 0, 48, 64, W, H), PlaceArea(48, 0, 48, 64, W, H)}},
        {"portrait area", {PlaceArea(30, 0, 24, 64, W, H)}},
        {"viewport narrower than the area", {clipped}},
        {"area past the target's edge", {offTarget}},
        {"no placements", {}},
    };
}

TEST(TextureSide, RoundsUpToAPowerOfTwo) {
    struct Case {
        int32_t side;
        uint32_t texture;
    };
    const Case cases[] = {{0, 1},       {1, 1},       {2, 2},         {3, 4},           {5, 8},
                          {7, 8},       {360, 512},   {480, 512},     {512, 512},       {513, 1024},
                          {1080, 2048}, {1920, 2048}, {65536, 65536}, {-5, 0x80000000u}};
    for (const Case& c : cases) {
        EXPECT_EQ(TextureSide(c.side), c.texture) << "side " << c.side;
    }
}

TEST(TexCoordMax, CoversExactlyTheImage) {
    struct Case {
        int32_t side;
        float max;
    };
    const Case cases[] = {{480, 0.9375f}, {360, 0.703125f}, {1, 1.0f},
                          {7, 0.875f},    {5, 0.625f},      {512, 1.0f}};
    for (const Case& c : cases) {
        EXPECT_EQ(TexCoordMax(c.side), c.max) << "side " << c.side;
    }
}

TEST(SampleTexels, IntegerPixelCentresWithoutHalfPixelAdjustment) {
    struct Case {
        int64_t pixel, pictureStart, pictureSize;
        int32_t imageSize;
        TexelPair expected;
    };
    const Case cases[] = {
        // 2 texels over 4 pixels: positions -0.5, 0, 0.5, 1.
        {0, 0, 4, 2, {0, 0, 0}},
        {1, 0, 4, 2, {0, 0, 0}},
        {2, 0, 4, 2, {0, 1, 128}},
        {3, 0, 4, 2, {1, 1, 0}},
        // 4 texels over 2 pixels: positions -0.5 and 1.5.
        {0, 0, 2, 4, {0, 0, 0}},
        {1, 0, 2, 4, {1, 2, 128}},
        // 480 over 1920 from -10: pixel 5 is 15 into the picture, position 3.25.
        {5, -10, 1920, 480, {3, 4, 64}},
        // 3 over 7: pixel 3 at 9/7 - 1/2 = 0.7857 texels, 201.14 steps.
        {3, 0, 7, 3, {0, 1, 201}},
        // The last pixel of an upscale lies past the last texel's centre.
        {1919, 0, 1920, 480, {479, 479, 0}},
        // One texel: always that texel.
        {17, 0, 40, 1, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "pixel " << c.pixel << " picture " << c.pictureStart
                                          << "+" << c.pictureSize << " image " << c.imageSize);
        const TexelPair pair = SampleTexels(c.pixel, c.pictureStart, c.pictureSize, c.imageSize);
        EXPECT_EQ(pair.first, c.expected.first);
        EXPECT_EQ(pair.second, c.expected.second);
        EXPECT_EQ(pair.weight, c.expected.weight);
    }
}

TEST(RenderReference, WorkedPixelsOfASmallUpscale) {
    // Two texels, black then white, stretched over four pixels: black, black, half, white.
    Frame across = FlatFrame(2, 1, 0);
    across.At(1, 0) = 255;
    // One column, black on top (stored last) and white below, over four rows.
    Frame down = FlatFrame(1, 2, 0);
    down.At(0, 1) = 255;
    struct Case {
        uint8_t S, B;
        uint32_t pixels[4];
    };
    // Half-way: c = s = 127.5; alpha = 127.5^2 / 255 + round(B / 2) (1 - 0.5).
    const Case cases[] = {
        {255, 0, {0xFF000000, 0xFF000000, 0x40000000, 0x00000000}},
        {255, 200, {0xFF000000, 0xFF000000, 0x72323232, 0xC8C8C8C8}},
        {0, 90, {0x00000000, 0x00000000, 0x2D2D2D2D, 0x5A5A5A5A}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "S " << int{c.S} << " B " << int{c.B});
        const Target wide =
            RenderWithReference(across, c.S, c.B, {PlaceArea(0, 0, 4, 1, 2, 1)}, 4, 1);
        const Target tall =
            RenderWithReference(down, c.S, c.B, {PlaceArea(0, 0, 1, 4, 1, 2)}, 1, 4);
        const Target wideFast = RenderFast(across, c.S, c.B, {PlaceArea(0, 0, 4, 1, 2, 1)}, 4, 1);
        const Target tallFast = RenderFast(down, c.S, c.B, {PlaceArea(0, 0, 1, 4, 1, 2)}, 1, 4);
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(Hex(wide.At(i, 0)), Hex(c.pixels[i]));
            EXPECT_EQ(Hex(tall.At(0, i)), Hex(c.pixels[i]));
            EXPECT_EQ(Hex(wideFast.At(i, 0)), Hex(c.pixels[i]));
            EXPECT_EQ(Hex(tallFast.At(0, i)), Hex(c.pixels[i]));
        }
    }
}

TEST(Rendering, FlatFramesMeetTheBlendTableExactly) {
    struct Case {
        const char* name;
        uint8_t v, S, B;
        uint32_t inside;
    };
    const Case cases[] = {
        {"black, S 255, B 0", 0, 255, 0, 0xFF000000},
        {"black, S 255, B 77", 0, 255, 77, 0xFF000000},
        {"black, S 255, B 255", 0, 255, 255, 0xFF000000},
        {"white, B 0", 255, 255, 0, 0x00000000},
        {"white, B 77", 255, 128, 77, 0x4D4D4D4D},
        {"white, B 255", 255, 0, 255, 0xFFFFFFFF},
        {"black, S 0, B 0", 0, 0, 0, 0x00000000},
        {"black, S 0, B 200", 0, 0, 200, 0x00000000},
        {"black, S 128", 0, 128, 0, 0x40000000},  // 128 * 128 / 255 = 64.25
    };
    const std::pair<int32_t, int32_t> sizes[] = {{7, 5}, {48, 36}, {1, 1}, {5, 9}};
    for (const auto& [W, H] : sizes) {
        for (const Layout& layout : Layouts(W, H)) {
            for (const Case& c : cases) {
                SCOPED_TRACE(::testing::Message()
                             << c.name << ", frame " << W << " x " << H << ", " << layout.name);
                const Frame frame = FlatFrame(W, H, c.v);
                const Target reference =
                    RenderWithReference(frame, c.S, c.B, layout.placements, 96, 64);
                const Target fast = RenderFast(frame, c.S, c.B, layout.placements, 96, 64);
                for (int32_t y = 0; y < 64; ++y) {
                    for (int32_t x = 0; x < 96; ++x) {
                        const uint32_t expected = InsideAny(layout.placements, x, y)
                                                      ? c.inside
                                                      : static_cast<uint32_t>(c.B) << 24;
                        ASSERT_EQ(Hex(reference.At(x, y)), Hex(expected))
                            << "reference at " << x << ", " << y;
                        ASSERT_EQ(Hex(fast.At(x, y)), Hex(expected))
                            << "fast path at " << x << ", " << y;
                    }
                }
            }
        }
    }
}

TEST(Rendering, FlatGreyFramesGiveTheBlendTablesPixel) {
    for (int v = 0; v < 256; v += 5) {
        for (int S : {0, 1, 100, 128, 200, 254, 255}) {
            for (int B : {0, 1, 64, 200, 255}) {
                SCOPED_TRACE(::testing::Message() << "v " << v << " S " << S << " B " << B);
                const Frame frame = FlatFrame(3, 2, static_cast<uint8_t>(v));
                const std::vector<Placement> one = {PlaceArea(1, 1, 6, 4, 3, 2)};
                const uint32_t expected = FlatPixel(v, S, B);
                const Target reference = RenderWithReference(frame, S, B, one, 8, 6);
                const Target fast = RenderFast(frame, S, B, one, 8, 6);
                EXPECT_EQ(Hex(reference.At(3, 2)), Hex(expected));
                EXPECT_EQ(Hex(fast.At(3, 2)), Hex(expected));
                EXPECT_EQ(Hex(fast.At(0, 0)), Hex(static_cast<uint32_t>(B) << 24));
            }
        }
    }
}

// A frame with hard edges, soft gradients and noise, from a seed.
Frame PatternFrame(int32_t W, int32_t H, std::mt19937& random) {
    Frame frame = FlatFrame(W, H, 0);
    std::uniform_int_distribution<int> kind(0, 3);
    std::uniform_int_distribution<int> byte(0, 255);
    const int pattern = kind(random);
    const double cx = W * 0.5, cy = H * 0.5;
    for (int32_t y = 0; y < H; ++y) {
        for (int32_t x = 0; x < W; ++x) {
            int value = 0;
            switch (pattern) {
                case 0:  // noise
                    value = byte(random);
                    break;
                case 1:  // black and white blocks
                    value = ((x / 3 + y / 2) % 2) * 255;
                    break;
                case 2: {  // a soft disc
                    const double d = std::hypot(x - cx, y - cy) / std::max(1.0, cx);
                    value = static_cast<int>(std::clamp(d * 300 - 100, 0.0, 255.0));
                    break;
                }
                default:  // a few grey tones with hard edges
                    value = ((x * 7 + y * 3) / 5 % 4) * 85;
                    break;
            }
            frame.At(x, y) = static_cast<uint8_t>(value);
        }
    }
    return frame;
}

TEST(SoftwareRenderer, StaysWithinTwoOfTheReferenceOnRandomFrames) {
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> side(1, 40);
    std::uniform_int_distribution<int> targetSide(1, 90);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> count(1, 3);
    int largest = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const int32_t W = side(random), H = side(random);
        const int32_t width = targetSide(random), height = targetSide(random);
        std::vector<Placement> placements;
        const int n = count(random);
        for (int i = 0; i < n; ++i) {
            std::uniform_int_distribution<int> left(-10, width), top(-10, height);
            std::uniform_int_distribution<int> extent(1, 2 * std::max(width, height));
            Placement p = PlaceArea(std::max(0, left(random)), std::max(0, top(random)),
                                    extent(random), extent(random), W, H);
            if (i == 2) {
                // Now and then a picture that does not cover its area, shifted off the target.
                p.pictureLeft = left(random) - 20;
                p.pictureWidth = extent(random);
            }
            placements.push_back(p);
        }
        const Frame frame = PatternFrame(W, H, random);
        const uint8_t S = static_cast<uint8_t>(byte(random));
        const uint8_t B = static_cast<uint8_t>(byte(random));
        const Target reference = RenderWithReference(frame, S, B, placements, width, height);
        const Target fast = RenderFast(frame, S, B, placements, width, height);
        const Comparison comparison = Compare(reference, fast);
        largest = std::max(largest, comparison.largest);
        ASSERT_LE(comparison.largest, 2)
            << "trial " << trial << ": frame " << W << " x " << H << ", target " << width << " x "
            << height << ", S " << int{S} << ", B " << int{B} << ", " << placements.size()
            << " placements; at " << comparison.x << ", " << comparison.y << " reference "
            << Hex(reference.At(comparison.x, comparison.y)) << " fast "
            << Hex(fast.At(comparison.x, comparison.y));
    }
    std::printf("largest channel difference from the reference: %d\n", largest);
}

TEST(SoftwareRenderer, LaterPlacementsDrawOverEarlierOnes) {
    std::mt19937 random(99);
    const Frame frame = PatternFrame(20, 15, random);
    const Placement first = PlaceArea(0, 0, 40, 30, 20, 15);
    const Placement second = PlaceArea(20, 10, 40, 30, 20, 15);
    for (int S : {255, 180}) {
        for (int B : {0, 100, 255}) {
            SCOPED_TRACE(::testing::Message() << "S " << S << " B " << B);
            const Target once = RenderWithReference(frame, S, B, {first}, 64, 48);
            const Target both = RenderWithReference(frame, S, B, {first, second}, 64, 48);
            const Target same = RenderWithReference(frame, S, B, {first, first}, 64, 48);
            // Only the second placement's region changed.
            bool changed = false;
            for (int32_t y = 0; y < 48; ++y) {
                for (int32_t x = 0; x < 64; ++x) {
                    if (!InsideAny({second}, x, y)) {
                        ASSERT_EQ(both.At(x, y), once.At(x, y)) << x << ", " << y;
                    }
                    changed |= same.At(x, y) != once.At(x, y);
                }
            }
            // Drawing the same placement twice blends it twice.
            EXPECT_TRUE(changed || B == 0);
            for (const auto& list :
                 {std::vector<Placement>{first, second}, std::vector<Placement>{first, first},
                  std::vector<Placement>{second, first}}) {
                const Comparison comparison =
                    Compare(RenderWithReference(frame, S, B, list, 64, 48),
                            RenderFast(frame, S, B, list, 64, 48));
                EXPECT_LE(comparison.largest, 2) << "at " << comparison.x << ", " << comparison.y;
            }
        }
    }
}

TEST(SoftwareRenderer, ReusedForManyFramesAndOpacities) {
    std::mt19937 random(5);
    const std::vector<Placement> placements = {PlaceArea(0, 0, 50, 40, 16, 12),
                                               PlaceArea(50, 0, 30, 40, 16, 12)};
    SoftwareRenderer renderer(16, 12, 80, 40, placements);
    std::vector<uint32_t> pixels(80 * 40);
    for (int turn = 0; turn < 12; ++turn) {
        const Frame frame = PatternFrame(16, 12, random);
        const uint8_t S = static_cast<uint8_t>(turn * 40 % 256);
        const uint8_t B = static_cast<uint8_t>(turn % 3 == 0 ? 0 : turn * 23 % 256);
        renderer.Render(frame.grey.data(), S, B, pixels.data());
        const Target fresh = RenderFast(frame, S, B, placements, 80, 40);
        ASSERT_EQ(pixels, fresh.pixels) << "turn " << turn;
    }
}

TEST(Rendering, DegenerateInputsOnlyFill) {
    struct Case {
        const char* name;
        int32_t W, H;
        Placement placement;
    };
    Placement negativeLeft = PlaceArea(-5, 0, 20, 10, 4, 4);  // viewport X wraps far away
    Placement emptyPicture = PlaceArea(0, 0, 20, 10, 4, 4);
    emptyPicture.pictureWidth = 0;
    Placement negativePicture = PlaceArea(0, 0, 20, 10, 4, 4);
    negativePicture.pictureHeight = -3;
    Placement emptyViewport = PlaceArea(0, 0, 20, 10, 4, 4);
    emptyViewport.viewport.Height = 0;
    const Case cases[] = {
        {"frame without width", 0, 4, PlaceArea(0, 0, 20, 10, 0, 4)},
        {"frame without height", 4, 0, PlaceArea(0, 0, 20, 10, 4, 0)},
        {"viewport left of the target", 4, 4, negativeLeft},
        {"picture without width", 4, 4, emptyPicture},
        {"picture of negative height", 4, 4, negativePicture},
        {"viewport without height", 4, 4, emptyViewport},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Frame frame = FlatFrame(c.W, c.H, 0);
        const uint32_t fill = 33u << 24;
        const std::vector<uint32_t> expected(20 * 10, fill);
        EXPECT_EQ(RenderWithReference(frame, 255, 33, {c.placement}, 20, 10).pixels, expected);
        EXPECT_EQ(RenderFast(frame, 255, 33, {c.placement}, 20, 10).pixels, expected);
    }
    // A target without pixels is left alone.
    const Frame frame = FlatFrame(4, 4, 0);
    EXPECT_TRUE(RenderFast(frame, 255, 0, {PlaceArea(0, 0, 4, 4, 4, 4)}, 0, 7).pixels.empty());
    EXPECT_TRUE(
        RenderWithReference(frame, 255, 0, {PlaceArea(0, 0, 4, 4, 4, 4)}, 7, 0).pixels.empty());
}

}  // namespace

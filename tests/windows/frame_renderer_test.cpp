#include "windows/frame_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "render/compose.h"
#include "render/software_renderer.h"
#include "tests/windows/frame_patterns.h"
#include "tests/windows/render_test_env.h"

namespace {

// One frame through the player's whole per-frame path; the picture surface's pixels.
std::vector<uint32_t> RenderThroughDevice(TestPictureOutput& out, FrameResources& resources,
                                          const std::vector<uint8_t>& frame, int32_t W, int32_t H,
                                          uint8_t S, uint8_t B,
                                          const std::vector<Placement>& placements) {
    ComposeFrame(frame.data(), W, H, S, resources.shadowBuffer.data(),
                 resources.cutoutBuffer.data());
    RenderFrame(resources, out.output.device, placements, B);
    HandOverFrame(resources, out.output);
    return ReadSurface(out.output.pictureSurface);
}

std::string Hex(uint32_t word) {
    char text[12];
    std::snprintf(text, sizeof(text), "%08X", word);
    return text;
}

int ChannelDifference(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        worst = std::max(worst, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    }
    return worst;
}

struct Comparison {
    int worst = 0;
    int64_t differing = 0;
    std::string firstWorst;
};

Comparison Compare(const std::vector<uint32_t>& actual, const std::vector<uint32_t>& expected,
                   int32_t width) {
    Comparison result;
    for (size_t i = 0; i < actual.size() && i < expected.size(); ++i) {
        const int d = ChannelDifference(actual[i], expected[i]);
        if (d > 0) ++result.differing;
        if (d > result.worst) {
            result.worst = d;
            result.firstWorst = "pixel " + std::to_string(int32_t(i) % width) + "," +
                                std::to_string(int32_t(i) / width) + ": device " + Hex(actual[i]) +
                                ", expected " + Hex(expected[i]);
        }
    }
    return result;
}

struct PlacementCase {
    const char* name;
    int32_t targetWidth, targetHeight;
    std::vector<Placement> (*build)(int32_t tw, int32_t th, int32_t W, int32_t H);
    int coverings = 1;  // most placements that draw over one pixel
};

std::vector<Placement> OneArea(int32_t tw, int32_t th, int32_t W, int32_t H) {
    return {PlaceArea(0, 0, tw, th, W, H)};
}
std::vector<Placement> InsetArea(int32_t tw, int32_t th, int32_t W, int32_t H) {
    return {PlaceArea(3, 2, tw - 7, th - 5, W, H)};
}
std::vector<Placement> SideBySide(int32_t tw, int32_t th, int32_t W, int32_t H) {
    return {PlaceArea(0, 0, tw / 2, th, W, H), PlaceArea(tw / 2, 0, tw - tw / 2, th, W, H)};
}
std::vector<Placement> Portrait(int32_t tw, int32_t th, int32_t W, int32_t H) {
    return {PlaceArea(tw / 3, 0, tw / 3, th, W, H)};
}
// The same area twice: the second placement draws over the first one's result.
std::vector<Placement> Twice(int32_t tw, int32_t th, int32_t W, int32_t H) {
    return {PlaceArea(0, 0, tw, th, W, H), PlaceArea(tw / 4, 0, tw / 2, th, W, H)};
}
std::vector<Placement> NoArea(int32_t, int32_t, int32_t, int32_t) {
    return {};
}

// Largest channel difference allowed between the device and the reference renderer, per
// placement drawn over a pixel (measured on llvmpipe under Wine: 3 for one, 4 for two). The
// reference keeps the filtered texel exact and rounds each blend step to nearest; llvmpipe
// filters and blends in 8-bit fixed point and rounds its own way. The shadow alpha enters twice
// (s x s) and three blend results are stored at 8 bits, so the small differences add up; an
// earlier placement's result then enters the next placement's blends.
constexpr int kTolerancePerCovering = 3;

int Tolerance(const PlacementCase& layout) {
    return kTolerancePerCovering + (layout.coverings - 1);
}

TEST(FrameRenderer, MatchesTheSoftwareRenderer) {
    IDirect3DDevice9* device = SharedDevice();
    ASSERT_NE(device, nullptr);
    struct FrameCase {
        int32_t W, H;
        Pattern pattern;
        uint8_t S, B;
    };
    const FrameCase frames[] = {
        {7, 5, Pattern::Noise, 255, 0},     {7, 5, Pattern::Gradient, 200, 100},
        {7, 5, Pattern::Disc, 128, 255},    {480, 360, Pattern::Disc, 255, 0},
        {480, 360, Pattern::Noise, 77, 30}, {480, 360, Pattern::Gradient, 255, 255},
    };
    const PlacementCase layouts[] = {
        {"one area", 96, 64, OneArea},
        {"cropped area", 160, 72, OneArea},
        {"inset cropped", 101, 67, InsetArea},
        {"side by side", 200, 90, SideBySide},
        {"portrait", 150, 120, Portrait},
        {"twice", 120, 80, Twice, 2},
        {"none", 40, 30, NoArea},
        {"large", 640, 400, SideBySide},
    };
    int worstSeen = 0;
    for (const PlacementCase& layout : layouts) {
        TestPictureOutput out(device, layout.targetWidth, layout.targetHeight);
        ASSERT_NE(out.output.pictureSurface, nullptr);
        for (const FrameCase& f : frames) {
            SCOPED_TRACE(testing::Message()
                         << layout.name << " " << layout.targetWidth << "x" << layout.targetHeight
                         << ", frame " << f.W << "x" << f.H << " " << PatternName(f.pattern)
                         << ", S " << int(f.S) << ", B " << int(f.B));
            const std::vector<Placement> placements =
                layout.build(layout.targetWidth, layout.targetHeight, f.W, f.H);
            FrameResources resources = SetUpFrameResources(out.output, f.W, f.H);
            // Two frames through the same resources: the second must not keep anything of the
            // first.
            for (int seed = 1; seed <= 2; ++seed) {
                const std::vector<uint8_t> frame = MakeFrame(f.pattern, f.W, f.H, seed);
                const std::vector<uint32_t> picture =
                    RenderThroughDevice(out, resources, frame, f.W, f.H, f.S, f.B, placements);
                ASSERT_EQ(picture.size(), size_t(layout.targetWidth) * layout.targetHeight);

                std::vector<uint32_t> reference(picture.size());
                RenderReference(resources.shadowBuffer.data(), resources.cutoutBuffer.data(), f.W,
                                f.H, f.B, placements, reference.data(), layout.targetWidth,
                                layout.targetHeight);
                const Comparison toReference = Compare(picture, reference, layout.targetWidth);
                EXPECT_LE(toReference.worst, Tolerance(layout))
                    << "seed " << seed << ", " << toReference.differing
                    << " pixels differ from the reference; worst " << toReference.firstWorst;

                std::vector<uint32_t> software(picture.size());
                SoftwareRenderer renderer(f.W, f.H, layout.targetWidth, layout.targetHeight,
                                          placements);
                renderer.Render(frame.data(), f.S, f.B, software.data());
                const Comparison toSoftware = Compare(picture, software, layout.targetWidth);
                // The software renderer keeps within 2 of the reference, mostly on the same side
                // as the device (measured: never more than the device's own tolerance).
                EXPECT_LE(toSoftware.worst, Tolerance(layout) + 1)
                    << "seed " << seed << ", " << toSoftware.differing
                    << " pixels differ from the software renderer; worst " << toSoftware.firstWorst;
                worstSeen = std::max(worstSeen, toReference.worst);
            }
            ReleaseFrameResources(resources);
        }
    }
    std::printf("largest difference from the reference renderer: %d\n", worstSeen);
}

// Whether (x, y) lies in some placement's picture rectangle, within that placement's area.
bool InsidePicture(const std::vector<Placement>& placements, int32_t x, int32_t y) {
    for (const Placement& p : placements) {
        const bool inArea = x >= p.areaLeft && x < p.areaLeft + p.areaWidth && y >= p.areaTop &&
                            y < p.areaTop + p.areaHeight;
        const bool inPicture = x >= p.pictureLeft && x < p.pictureLeft + p.pictureWidth &&
                               y >= p.pictureTop && y < p.pictureTop + p.pictureHeight;
        if (inArea && inPicture) return true;
    }
    return false;
}

uint32_t Argb(uint32_t a, uint32_t rgb) {
    return a << 24 | rgb << 16 | rgb << 8 | rgb;
}

TEST(FrameRenderer, FlatFramesGiveExactlyTheBlendTable) {
    IDirect3DDevice9* device = SharedDevice();
    ASSERT_NE(device, nullptr);
    struct Case {
        uint8_t grey, S, B;
        uint32_t inside;  // the finished pixel over every picture rectangle
    };
    // Black with S = 255 is opaque black whatever B; white is white at opacity B; S = 0 leaves
    // black fully transparent.
    const Case cases[] = {
        {0, 255, 0, Argb(255, 0)}, {0, 255, 128, Argb(255, 0)},  {0, 255, 255, Argb(255, 0)},
        {255, 255, 0, Argb(0, 0)}, {255, 200, 77, Argb(77, 77)}, {255, 0, 255, Argb(255, 255)},
        {0, 0, 0, Argb(0, 0)},     {0, 0, 190, Argb(0, 0)},
    };
    const PlacementCase layouts[] = {
        {"cropped area", 130, 70, OneArea},
        {"side by side", 121, 50, SideBySide},
        {"portrait", 90, 100, Portrait},
        {"inset cropped", 77, 61, InsetArea},
    };
    const int32_t sizes[][2] = {{7, 5}, {480, 360}, {1, 1}, {3, 17}};
    for (const PlacementCase& layout : layouts) {
        TestPictureOutput out(device, layout.targetWidth, layout.targetHeight);
        ASSERT_NE(out.output.pictureSurface, nullptr);
        for (const auto& size : sizes) {
            const int32_t W = size[0], H = size[1];
            FrameResources resources = SetUpFrameResources(out.output, W, H);
            const std::vector<Placement> placements =
                layout.build(layout.targetWidth, layout.targetHeight, W, H);
            for (const Case& c : cases) {
                SCOPED_TRACE(testing::Message()
                             << layout.name << ", frame " << W << "x" << H << " of grey "
                             << int(c.grey) << ", S " << int(c.S) << ", B " << int(c.B));
                const std::vector<uint8_t> frame(size_t(W) * H, c.grey);
                const std::vector<uint32_t> picture =
                    RenderThroughDevice(out, resources, frame, W, H, c.S, c.B, placements);
                ASSERT_EQ(picture.size(), size_t(layout.targetWidth) * layout.targetHeight);
                int wrong = 0;
                for (int32_t y = 0; y < layout.targetHeight; ++y) {
                    for (int32_t x = 0; x < layout.targetWidth; ++x) {
                        const uint32_t expected =
                            InsidePicture(placements, x, y) ? c.inside : Argb(c.B, 0);
                        const uint32_t actual = picture[size_t(y) * layout.targetWidth + x];
                        if (actual != expected && ++wrong <= 3) {
                            ADD_FAILURE() << "pixel " << x << "," << y << ": " << Hex(actual)
                                          << ", expected " << Hex(expected);
                        }
                    }
                }
                EXPECT_EQ(wrong, 0);
            }
            ReleaseFrameResources(resources);
        }
    }
}

TEST(FrameRenderer, HandOverSetsFrameReadyAfterLeavingTheLock) {
    IDirect3DDevice9* device = SharedDevice();
    ASSERT_NE(device, nullptr);
    TestPictureOutput out(device, 32, 24);
    FrameResources resources = SetUpFrameResources(out.output, 7, 5);
    const std::vector<Placement> placements = OneArea(32, 24, 7, 5);
    const std::vector<uint8_t> frame(35, 0);
    ComposeFrame(frame.data(), 7, 5, 255, resources.shadowBuffer.data(),
                 resources.cutoutBuffer.data());
    RenderFrame(resources, device, placements, 0);
    EXPECT_EQ(WaitForSingleObject(out.output.frameReady, 0), DWORD(WAIT_TIMEOUT))
        << "rendering alone signals nothing";
    HandOverFrame(resources, out.output);
    EXPECT_EQ(WaitForSingleObject(out.output.frameReady, 0), DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(out.output.frameReady, 0), DWORD(WAIT_TIMEOUT))
        << "the event resets itself when consumed";
    // The lock is free again: another thread can take it at once.
    struct Probe {
        static DWORD WINAPI Run(void* lock) {
            const BOOL taken = TryEnterCriticalSection(static_cast<CRITICAL_SECTION*>(lock));
            if (taken) LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(lock));
            return taken ? 1 : 0;
        }
    };
    HANDLE thread = CreateThread(nullptr, 0, Probe::Run, &out.lock, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    DWORD taken = 0;
    GetExitCodeThread(thread, &taken);
    CloseHandle(thread);
    EXPECT_EQ(taken, 1u) << "the hand-over left pictureLock held";
    ReleaseFrameResources(resources);
}

}  // namespace

namespace {

// Where a full-screen application covers a display, the picture is transparent; elsewhere it
// keeps the background's alpha.
TEST(FrameRenderer, ClearedAreasAreTransparentAndOnlyThey) {
    IDirect3DDevice9* device = SharedDevice();
    ASSERT_NE(device, nullptr);
    constexpr int32_t kW = 32, kH = 24;
    TestPictureOutput out(device, kW, kH);
    FrameResources resources = SetUpFrameResources(out.output, 4, 3);
    const std::vector<MonitorEntry> areas = {{0, 0, 8, kH}, {20, 4, 5, 5}};
    const std::vector<uint8_t> frame(12, 255);
    ComposeFrame(frame.data(), 4, 3, 255, resources.shadowBuffer.data(),
                 resources.cutoutBuffer.data());
    RenderFrame(resources, device, OneArea(kW, kH, 4, 3), 200);
    ClearAreas(resources, device, areas);
    HandOverFrame(resources, out.output);
    const std::vector<uint32_t> pixels = ReadSurface(out.output.pictureSurface);
    ASSERT_EQ(pixels.size(), size_t(kW * kH));
    for (int32_t y = 0; y < kH; ++y) {
        for (int32_t x = 0; x < kW; ++x) {
            const bool cleared = x < 8 || (x >= 20 && x < 25 && y >= 4 && y < 9);
            const uint32_t alpha = pixels[size_t(y * kW + x)] >> 24;
            if (cleared) {
                EXPECT_EQ(pixels[size_t(y * kW + x)], 0u) << "at " << x << "," << y;
            } else {
                EXPECT_EQ(alpha, 200u) << "at " << x << "," << y;
            }
        }
    }
    ReleaseFrameResources(resources);
}

TEST(FrameRenderer, OnlyARemovedHungOrLostDeviceIsALoss) {
    const struct {
        HRESULT result;
        bool loss;
    } cases[] = {
        {D3DERR_DEVICEREMOVED, true},
        {D3DERR_DEVICEHUNG, true},
        {D3DERR_DEVICELOST, true},
        {D3DERR_INVALIDCALL, false},
        {D3DERR_OUTOFVIDEOMEMORY, false},
        {E_OUTOFMEMORY, false},
        {S_OK, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsDeviceLoss(c.result), c.loss) << std::hex << "result 0x" << c.result;
    }
}

}  // namespace

#include "render/placement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace {

::testing::AssertionResult ViewportMatchesArea(const Placement& p) {
    const Viewport& v = p.viewport;
    if (v.X != static_cast<uint32_t>(p.areaLeft) || v.Y != static_cast<uint32_t>(p.areaTop) ||
        v.Width != static_cast<uint32_t>(p.areaWidth) ||
        v.Height != static_cast<uint32_t>(p.areaHeight) || v.MinZ != 0.0f || v.MaxZ != 0.0f) {
        return ::testing::AssertionFailure()
               << "viewport (" << v.X << ", " << v.Y << ", " << v.Width << ", " << v.Height << ", "
               << v.MinZ << ", " << v.MaxZ << ") for area (" << p.areaLeft << ", " << p.areaTop
               << ", " << p.areaWidth << ", " << p.areaHeight << ")";
    }
    return ::testing::AssertionSuccess();
}

struct Rect {
    int32_t left, top, width, height;
};

void ExpectPlacement(const Placement& p, Rect area, Rect picture) {
    EXPECT_EQ(p.areaLeft, area.left);
    EXPECT_EQ(p.areaTop, area.top);
    EXPECT_EQ(p.areaWidth, area.width);
    EXPECT_EQ(p.areaHeight, area.height);
    EXPECT_EQ(p.pictureLeft, picture.left);
    EXPECT_EQ(p.pictureTop, picture.top);
    EXPECT_EQ(p.pictureWidth, picture.width);
    EXPECT_EQ(p.pictureHeight, picture.height);
    EXPECT_TRUE(ViewportMatchesArea(p));
}

TEST(FitPicture, WorkedExamplesWithA480By360Frame) {
    struct Case {
        int32_t areaWidth, areaHeight;
        int32_t pictureWidth, pictureHeight;
        int32_t offsetX, offsetY;
    };
    const Case cases[] = {
        {1920, 1080, 1920, 1440, 0, -179}, {1080, 1920, 2560, 1920, -739, 0},
        {1024, 768, 1024, 768, 0, 0},      {1280, 1024, 1365, 1024, -42, 0},
        {1366, 768, 1366, 1025, 0, -128},  // 1024.5 rounds up
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.areaWidth << " x " << c.areaHeight);
        const PictureSize size = FitPicture(c.areaWidth, c.areaHeight, 480, 360);
        EXPECT_EQ(size.width, c.pictureWidth);
        EXPECT_EQ(size.height, c.pictureHeight);
        const Placement p = PlaceArea(100, 50, c.areaWidth, c.areaHeight, 480, 360);
        ExpectPlacement(p, {100, 50, c.areaWidth, c.areaHeight},
                        {100 + c.offsetX, 50 + c.offsetY, c.pictureWidth, c.pictureHeight});
    }
}

TEST(FitPicture, CoversTheAreaKeepingTheAspect) {
    const int32_t frames[][2] = {{480, 360}, {640, 360}, {7, 5}, {1, 1}, {1, 1000}, {333, 2}};
    const int32_t areas[][2] = {{1920, 1080}, {1080, 1920}, {1, 1},    {3, 7},
                                {1366, 768},  {800, 600},   {2560, 1}, {17, 4000}};
    for (const auto& frame : frames) {
        for (const auto& area : areas) {
            SCOPED_TRACE(::testing::Message() << "frame " << frame[0] << " x " << frame[1]
                                              << ", area " << area[0] << " x " << area[1]);
            const PictureSize size = FitPicture(area[0], area[1], frame[0], frame[1]);
            EXPECT_GE(size.width, area[0]);
            EXPECT_GE(size.height, area[1]);
            // One side matches the area exactly; no bars and no needless overflow.
            EXPECT_TRUE(size.width == area[0] || size.height == area[1]);
            // The aspect is the frame's up to the rounding of the longer side.
            const double across = static_cast<double>(size.width) * frame[1];
            const double down = static_cast<double>(size.height) * frame[0];
            EXPECT_LE(std::abs(across - down), 0.5 * std::max(frame[0], frame[1]) + 1e-9);
        }
    }
}

TEST(PlaceArea, CutsTheOverflowLopsidedTowardTheFarEdge) {
    // An odd overflow d cuts (d - 1) / 2 before and (d + 1) / 2 after; an even d of 2 or more
    // cuts d / 2 - 1 before and d / 2 + 1 after.
    for (int32_t overflow = 0; overflow <= 41; ++overflow) {
        SCOPED_TRACE(overflow);
        // A 1 x 1 frame on an area of height 1 gives a square picture as wide as the area.
        const Placement across = PlaceArea(0, 0, 64, 64 + overflow, 1, 1);
        ASSERT_EQ(across.pictureWidth, 64 + overflow);
        const int32_t before = overflow == 0       ? 0
                               : overflow % 2 == 1 ? (overflow - 1) / 2
                                                   : overflow / 2 - 1;
        EXPECT_EQ(-across.pictureLeft, before);
        EXPECT_EQ(across.pictureWidth - across.areaWidth + across.pictureLeft, overflow - before);
        const Placement down = PlaceArea(10, 20, 64 + overflow, 64, 1, 1);
        EXPECT_EQ(20 - down.pictureTop, before);
        EXPECT_EQ(down.pictureLeft, 10);
    }
}

TEST(PlaceArea, SameAspectFillsTheAreaExactly) {
    const Rect areas[] = {{0, 0, 480, 360}, {-5, 7, 960, 720}, {1280, 0, 1600, 1200}};
    for (const Rect& area : areas) {
        SCOPED_TRACE(::testing::Message() << area.left << ", " << area.top);
        ExpectPlacement(PlaceArea(area.left, area.top, area.width, area.height, 480, 360), area,
                        area);
    }
}

TEST(PlaceArea, EmptyFrameKeepsTheArithmeticDefined) {
    for (int32_t w : {0, 480}) {
        for (int32_t h : {0, 360}) {
            if (w != 0 && h != 0) {
                continue;
            }
            SCOPED_TRACE(::testing::Message() << w << " x " << h);
            ExpectPlacement(PlaceArea(3, 4, 1920, 1080, w, h), {3, 4, 1920, 1080},
                            {3, 4, 1920, 1080});
        }
    }
}

TEST(PlaceArea, ExtremeSizesSaturateInsteadOfOverflowing) {
    const Placement p = PlaceArea(0, 0, 1920, 1080, 1, INT32_MAX);
    EXPECT_EQ(p.pictureWidth, 1920);
    EXPECT_EQ(p.pictureHeight, INT32_MAX);
    EXPECT_LE(p.pictureTop, 0);
}

constexpr VirtualScreen kOneMonitor{0, 0, 1920, 1080};
const std::vector<MonitorEntry> kTwoMonitors = {{0, 0, 1920, 1080}, {-1280, 0, 1280, 1024}};
constexpr VirtualScreen kTwoMonitorScreen{-1280, 0, 3200, 1080};

TEST(BuildPlacements, EachMonitorWorkedExampleWithAMonitorOnTheLeft) {
    const std::vector<Placement> list =
        BuildPlacements(EachMonitor, 0, kTwoMonitors, 480, 360, kTwoMonitorScreen);
    ASSERT_EQ(list.size(), 2u);
    // In list order, every edge measured from the virtual screen's top-left corner.
    ExpectPlacement(list[0], {1280, 0, 1920, 1080}, {1280, -179, 1920, 1440});
    ExpectPlacement(list[1], {0, 0, 1280, 1024}, {-42, 0, 1365, 1024});
}

TEST(BuildPlacements, EachMonitorWithMonitorsAboveAndLeftKeepsEdgesNonNegative) {
    const std::vector<MonitorEntry> monitors = {
        {0, 0, 1920, 1080}, {-800, -600, 800, 600}, {1920, -300, 1080, 1920}};
    const VirtualScreen screen{-800, -600, 3800, 1680};
    const std::vector<Placement> list = BuildPlacements(EachMonitor, 2, monitors, 480, 360, screen);
    ASSERT_EQ(list.size(), monitors.size());
    for (size_t i = 0; i < list.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i].areaLeft, monitors[i].x + 800);
        EXPECT_EQ(list[i].areaTop, monitors[i].y + 600);
        EXPECT_GE(list[i].areaLeft, 0);
        EXPECT_GE(list[i].areaTop, 0);
        EXPECT_EQ(list[i].areaWidth, monitors[i].width);
        EXPECT_EQ(list[i].areaHeight, monitors[i].height);
        EXPECT_TRUE(ViewportMatchesArea(list[i]));
    }
}

TEST(BuildPlacements, ModesOtherThanOneAndTwoPlaceOnEachMonitor) {
    for (int32_t mode : {0, 3, -1, 1000}) {
        SCOPED_TRACE(mode);
        const std::vector<Placement> list =
            BuildPlacements(mode, 0, kTwoMonitors, 480, 360, kTwoMonitorScreen);
        ASSERT_EQ(list.size(), 2u);
        EXPECT_EQ(list[0].areaLeft, 1280);
        EXPECT_EQ(list[1].areaLeft, 0);
    }
}

TEST(BuildPlacements, EachMonitorWithNoMonitorsPlacesNothing) {
    EXPECT_TRUE(BuildPlacements(EachMonitor, 0, {}, 480, 360, kOneMonitor).empty());
}

TEST(BuildPlacements, WholeDesktopCoversTheVirtualScreen) {
    struct Case {
        VirtualScreen screen;
        std::vector<MonitorEntry> monitors;
    };
    const Case cases[] = {{kOneMonitor, {{0, 0, 1920, 1080}}},
                          {kTwoMonitorScreen, kTwoMonitors},
                          {{-100, -50, 800, 600}, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.screen.width << " x " << c.screen.height);
        const std::vector<Placement> list =
            BuildPlacements(WholeDesktop, 7, c.monitors, 480, 360, c.screen);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].areaLeft, 0);
        EXPECT_EQ(list[0].areaTop, 0);
        EXPECT_EQ(list[0].areaWidth, c.screen.width);
        EXPECT_EQ(list[0].areaHeight, c.screen.height);
        const PictureSize size = FitPicture(c.screen.width, c.screen.height, 480, 360);
        EXPECT_EQ(list[0].pictureWidth, size.width);
        EXPECT_EQ(list[0].pictureHeight, size.height);
    }
}

TEST(BuildPlacements, ChosenMonitorIgnoresTheMonitorsPosition) {
    for (int32_t index : {0, 1}) {
        SCOPED_TRACE(index);
        const std::vector<Placement> list =
            BuildPlacements(ChosenMonitor, index, kTwoMonitors, 480, 360, kTwoMonitorScreen);
        ASSERT_EQ(list.size(), 1u);
        const MonitorEntry& monitor = kTwoMonitors[index];
        const Placement expected = PlaceArea(0, 0, monitor.width, monitor.height, 480, 360);
        ExpectPlacement(list[0], {0, 0, monitor.width, monitor.height},
                        {expected.pictureLeft, expected.pictureTop, expected.pictureWidth,
                         expected.pictureHeight});
    }
}

TEST(BuildPlacements, ChosenMonitorIndexNamingNoEntryCoversTheWindow) {
    for (int32_t index : {-1, 2, 3, INT32_MAX, INT32_MIN}) {
        SCOPED_TRACE(index);
        const std::vector<Placement> list = BuildPlacements(ChosenMonitor, index, kTwoMonitors, 480,
                                                            360, kTwoMonitorScreen, 800, 600);
        ASSERT_EQ(list.size(), 1u);
        ExpectPlacement(list[0], {0, 0, 800, 600}, {0, 0, 800, 600});

        // Without the window's size the virtual screen stands in for it.
        const std::vector<Placement> fallback =
            BuildPlacements(ChosenMonitor, index, {}, 480, 360, kTwoMonitorScreen);
        ASSERT_EQ(fallback.size(), 1u);
        EXPECT_EQ(fallback[0].areaWidth, kTwoMonitorScreen.width);
        EXPECT_EQ(fallback[0].areaHeight, kTwoMonitorScreen.height);
    }
}

TEST(BuildPlacements, WindowSizeMattersOnlyForAnIndexNamingNoEntry) {
    const std::vector<Placement> list =
        BuildPlacements(ChosenMonitor, 1, kTwoMonitors, 480, 360, kTwoMonitorScreen, 800, 600);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].areaWidth, 1280);
    EXPECT_EQ(list[0].areaHeight, 1024);
}

}  // namespace

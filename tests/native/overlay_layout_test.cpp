#include "render/overlay_layout.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

struct Rect {
    int32_t left, top, width, height;
    bool operator==(const Rect&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rect& r) {
    return out << r.width << "x" << r.height << "+" << r.left << "+" << r.top;
}

DisplayEntry Display(Rect r, bool primary = false) {
    return {r.left, r.top, r.left + r.width, r.top + r.height, primary};
}

Rect AreaOf(const Placement& p) {
    return {p.areaLeft, p.areaTop, p.areaWidth, p.areaHeight};
}

// The same settings laid out again after the displays changed under them, as after a display
// change: the window and the areas that show the picture.
TEST(LayOutOverlay, FollowsTheDisplaysThatAreThere) {
    const Rect hd{0, 0, 1920, 1080};
    const Rect left{-1280, 0, 1280, 1024};
    const Rect xga{0, 0, 1024, 768};
    struct Case {
        std::string name;
        int32_t mode, index;
        std::vector<DisplayEntry> displays;
        Rect window;
        int32_t standsOn;
        std::vector<Rect> areas;
    };
    const Case cases[] = {
        {"one monitor, each", EachMonitor, 0, {Display(hd, true)}, hd, -1, {hd}},
        {"a second monitor plugged in left, each",
         EachMonitor,
         0,
         {Display(hd, true), Display(left)},
         {-1280, 0, 3200, 1080},
         -1,
         {{1280, 0, 1920, 1080}, {0, 0, 1280, 1024}}},
        {"a second monitor, whole desktop",
         WholeDesktop,
         1,
         {Display(hd, true), Display(left)},
         {-1280, 0, 3200, 1080},
         -1,
         {{0, 0, 3200, 1080}}},
        {"the chosen second monitor",
         ChosenMonitor,
         1,
         {Display(hd, true), Display(left)},
         left,
         1,
         {{0, 0, 1280, 1024}}},
        {"the chosen monitor unplugged: the primary",
         ChosenMonitor,
         1,
         {Display(hd, true)},
         hd,
         0,
         {{0, 0, 1920, 1080}}},
        {"the chosen monitor unplugged, the primary listed second",
         ChosenMonitor,
         2,
         {Display(left), Display(hd, true)},
         hd,
         1,
         {{0, 0, 1920, 1080}}},
        {"no primary left: the virtual screen",
         ChosenMonitor,
         3,
         {Display(left)},
         left,
         -1,
         {{0, 0, 1280, 1024}}},
        {"a new resolution", ChosenMonitor, 0, {Display(xga, true)}, xga, 0, {xga}},
        {"no display at all", EachMonitor, 0, {}, {0, 0, 0, 0}, -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlaybackSettings settings;
        settings.displayMode = c.mode;
        settings.monitorIndex = c.index;
        const OverlayLayout layout =
            LayOutOverlay(settings, c.displays, BoundingScreen(c.displays), 480, 360);
        EXPECT_EQ((Rect{layout.left, layout.top, layout.width, layout.height}), c.window);
        EXPECT_EQ(layout.monitorIndex, c.standsOn);
        ASSERT_EQ(layout.monitors.size(), c.displays.size());
        std::vector<Rect> areas;
        for (const Placement& p : layout.placements) areas.push_back(AreaOf(p));
        EXPECT_EQ(areas, c.areas);
    }
}

TEST(LayOutOverlay, WithoutAFrameSizeGivesTheWindowAlone) {
    PlaybackSettings settings;
    settings.displayMode = ChosenMonitor;
    const std::vector<DisplayEntry> displays{Display({100, 200, 800, 600}, true)};
    const OverlayLayout layout = LayOutOverlay(settings, displays, BoundingScreen(displays), 0, 0);
    EXPECT_EQ((Rect{layout.left, layout.top, layout.width, layout.height}),
              (Rect{100, 200, 800, 600}));
    EXPECT_TRUE(layout.placements.empty());
}

}  // namespace

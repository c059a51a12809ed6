// The Linux player's choice of overlay, and where the Wayland surfaces take their pixels from
// and what they damage.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "linux/overlay_backend.h"
#include "linux/wayland/output_geometry.h"

std::ostream& operator<<(std::ostream& out, const PixelRect& r) {
    return out << r.left << "," << r.top << " " << r.width << "x" << r.height;
}

namespace {

// Fake back ends: whether each opens, and which were asked.
std::vector<std::string> asked;
bool waylandOpens = true;
bool x11Opens = true;

bool OpenFakeWayland(std::string& reason) {
    asked.push_back("wayland");
    if (!waylandOpens) reason = "no layer shell";
    return waylandOpens;
}
bool OpenFakeX11(std::string& reason) {
    asked.push_back("x11");
    if (!x11Opens) reason = "no display";
    return x11Opens;
}
const OverlayBackend kFakeWayland{"wayland", "", OpenFakeWayland, nullptr, nullptr, nullptr};
const OverlayBackend kFakeX11{"x11", "", OpenFakeX11, nullptr, nullptr, nullptr};

TEST(OverlayBackendChoice, FirstThatOpensOrTheOneNamed) {
    struct Case {
        const char* forced;
        bool wayland;
        bool x11;
        const char* picked;  // nullptr: none
        std::vector<std::string> asked;
        std::string reasons;
    };
    const Case cases[] = {
        {nullptr, true, true, "wayland", {"wayland"}, ""},
        {"", true, true, "wayland", {"wayland"}, ""},
        {nullptr, false, true, "x11", {"wayland", "x11"}, "wayland: no layer shell"},
        {nullptr,
         false,
         false,
         nullptr,
         {"wayland", "x11"},
         "wayland: no layer shell; x11: no display"},
        {"x11", true, true, "x11", {"x11"}, ""},
        {"wayland", false, true, nullptr, {"wayland"}, "wayland: no layer shell"},
        {"directfb",
         true,
         true,
         nullptr,
         {},
         "NOCTIVA_BACKEND=directfb names no overlay (wayland, x11)"},
    };
    for (const Case& c : cases) {
        asked.clear();
        waylandOpens = c.wayland;
        x11Opens = c.x11;
        std::string reasons;
        const OverlayBackend* picked =
            PickOverlayBackend({&kFakeWayland, &kFakeX11}, c.forced, reasons);
        const std::string inputs = std::string("forced=") + (c.forced ? c.forced : "(unset)") +
                                   " wayland=" + (c.wayland ? "opens" : "fails") +
                                   " x11=" + (c.x11 ? "opens" : "fails");
        EXPECT_STREQ(picked ? picked->name : nullptr, c.picked) << inputs;
        EXPECT_EQ(asked, c.asked) << inputs;
        EXPECT_EQ(reasons, c.reasons) << inputs;
    }
}

TEST(WaylandOutputs, PictureAtTheLargestScaleAndEachOutputsCrop) {
    struct Case {
        const char* what;
        std::vector<WaylandOutput> outputs;
        PlaybackSettings settings;
        int32_t scale;
        std::vector<PixelRect> crops;
    };
    PlaybackSettings each;
    PlaybackSettings secondChosen;
    secondChosen.displayMode = ChosenMonitor;
    secondChosen.monitorIndex = 1;
    const Case cases[] = {
        {"one output", {{0, 0, 1280, 720, 1, false}}, each, 1, {{0, 0, 1280, 720}}},
        {"scale 2", {{0, 0, 1280, 720, 2, false}}, each, 2, {{0, 0, 2560, 1440}}},
        {"side by side, scales 1 and 2",
         {{0, 0, 1280, 720, 1, false}, {1280, 0, 1280, 720, 2, false}},
         each,
         2,
         {{0, 0, 2560, 1440}, {2560, 0, 2560, 1440}}},
        {"second left of and above the first",
         {{0, 0, 1280, 720, 1, true}, {-800, -600, 800, 600, 1, false}},
         each,
         1,
         {{800, 600, 1280, 720}, {0, 0, 800, 600}}},
        {"the second chosen: the first shows nothing",
         {{0, 0, 1280, 720, 1, false}, {1280, 0, 800, 600, 1, false}},
         secondChosen,
         1,
         {{}, {0, 0, 800, 600}}},
    };
    for (const Case& c : cases) {
        const int32_t scale = PictureScale(c.outputs);
        EXPECT_EQ(scale, c.scale) << c.what;
        const std::vector<DisplayEntry> displays = ScaledDisplays(c.outputs, scale);
        const OverlayLayout layout =
            LayOutOverlay(c.settings, displays, BoundingScreen(displays), 0, 0);
        for (size_t i = 0; i < c.outputs.size(); ++i) {
            EXPECT_EQ(OutputCrop(c.outputs[i], layout, scale), c.crops[i])
                << c.what << ", output " << i;
        }
    }
}

TEST(WaylandOutputs, FirstOutputIsPrimaryWhenTheCompositorNamesNone) {
    const std::vector<WaylandOutput> none{{0, 0, 100, 100, 1, false}, {100, 0, 100, 100, 1, false}};
    const std::vector<WaylandOutput> second{{0, 0, 100, 100, 1, false},
                                            {100, 0, 100, 100, 1, true}};
    EXPECT_TRUE(LogicalDisplays(none)[0].primary);
    EXPECT_FALSE(LogicalDisplays(none)[1].primary);
    EXPECT_FALSE(LogicalDisplays(second)[0].primary);
    EXPECT_TRUE(LogicalDisplays(second)[1].primary);
}

TEST(WaylandDamage, BoxAroundEveryChangedPixel) {
    constexpr int32_t W = 7;
    constexpr int32_t H = 5;
    struct Case {
        std::vector<std::pair<int32_t, int32_t>> changed;  // x, y
        PixelRect area;
    };
    const Case cases[] = {
        {{}, {}},
        {{{0, 0}}, {0, 0, 1, 1}},
        {{{6, 4}}, {6, 4, 1, 1}},
        {{{5, 1}, {1, 3}}, {1, 1, 5, 3}},
        {{{3, 0}, {3, 4}, {0, 2}}, {0, 0, 4, 5}},
        {{{0, 2}, {6, 2}}, {0, 2, 7, 1}},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> before(W * H, 0x80000000u);
        std::vector<uint32_t> after = before;
        std::string where;
        for (auto [x, y] : c.changed) {
            after[y * W + x] = 0xff000000u;
            where.append(" ").append(std::to_string(x)).append(",").append(std::to_string(y));
        }
        EXPECT_EQ(ChangedArea(before.data(), after.data(), W, H), c.area) << "changed at" << where;
    }
}

TEST(WaylandDamage, SurfaceCoordinatesRoundedOutwards) {
    struct Case {
        PixelRect area;
        PixelRect crop;
        int32_t scale;
        PixelRect damage;
    };
    const Case cases[] = {
        {{10, 20, 30, 40}, {0, 0, 1280, 720}, 1, {10, 20, 30, 40}},
        {{10, 20, 30, 40}, {1280, 0, 1280, 720}, 1, {}},
        {{1270, 0, 20, 10}, {1280, 0, 1280, 720}, 1, {0, 0, 10, 10}},
        {{3, 5, 2, 1}, {0, 0, 2560, 1440}, 2, {1, 2, 2, 1}},
        {{2561, 1, 1, 1}, {2560, 0, 2560, 1440}, 2, {0, 0, 1, 1}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SurfaceDamage(c.area, c.crop, c.scale), c.damage)
            << "area " << c.area << " crop " << c.crop << " scale " << c.scale;
    }
}

}  // namespace

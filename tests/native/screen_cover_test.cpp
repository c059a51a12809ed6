#include "render/screen_cover.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

DisplayEntry Display(int32_t left, int32_t top, int32_t width, int32_t height) {
    return {left, top, left + width, top + height, left == 0 && top == 0};
}

OverlayLayout Window(int32_t left, int32_t top, int32_t width, int32_t height) {
    OverlayLayout layout;
    layout.left = left;
    layout.top = top;
    layout.width = width;
    layout.height = height;
    return layout;
}

std::string Describe(const std::vector<MonitorRect>& rects) {
    std::string text;
    for (const MonitorRect& r : rects) {
        text.append("{").append(std::to_string(r.left)).append(",");
        text.append(std::to_string(r.top)).append(",").append(std::to_string(r.right));
        text.append(",").append(std::to_string(r.bottom)).append("} ");
    }
    return text;
}

std::string Describe(const std::vector<MonitorEntry>& areas) {
    std::string text;
    for (const MonitorEntry& a : areas) {
        text += std::to_string(a.width) + "x" + std::to_string(a.height) + "+" +
                std::to_string(a.x) + "+" + std::to_string(a.y) + " ";
    }
    return text;
}

// A main display of 1920x1080 with a 1280x1024 one on its left.
const std::vector<DisplayEntry> kTwo = {Display(0, 0, 1920, 1080), Display(-1280, 0, 1280, 1024)};

// Which displays a window covers, what the overlay then clears and whether anything is left,
// for an overlay over the whole virtual screen and for one on the main display alone.
TEST(ScreenCover, ACoveredDisplayIsClearedAndNothingLeftPauses) {
    const OverlayLayout desktop = Window(-1280, 0, 3200, 1080);
    const OverlayLayout mainOnly = Window(0, 0, 1920, 1080);
    struct Case {
        const char* name;
        MonitorRect window;
        size_t covered;
        std::string desktopAreas;  // relative to the whole-desktop overlay's corner
        bool desktopNothingLeft;
        bool mainOnlyNothingLeft;
    };
    const Case cases[] = {
        {"exactly the main display", {0, 0, 1920, 1080}, 1, "1920x1080+1280+0 ", false, true},
        // Whether a window's rectangle is the one to ask about is FullScreenArea's question:
        // a maximized window with a caption has this rectangle too and is not full screen.
        {"a rectangle beyond its edges", {-8, -8, 1928, 1088}, 1, "1920x1080+1280+0 ", false, true},
        {"one pixel short", {0, 0, 1919, 1080}, 0, "", false, false},
        {"a maximised window above the taskbar", {0, 0, 1920, 1040}, 0, "", false, false},
        {"the left display", {-1280, 0, 0, 1024}, 1, "1280x1024+0+0 ", false, false},
        {"both displays", {-1280, 0, 1920, 1080}, 2, "1920x1080+1280+0 1280x1024+0+0 ", true, true},
        {"an empty rectangle", {0, 0, 0, 0}, 0, "", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<MonitorRect> covered = CoveredDisplays(kTwo, c.window);
        EXPECT_EQ(covered.size(), c.covered);
        EXPECT_EQ(Describe(HiddenAreas(covered, desktop)), c.desktopAreas);
        EXPECT_EQ(NothingLeftToShow(kTwo, covered, desktop), c.desktopNothingLeft);
        EXPECT_EQ(NothingLeftToShow(kTwo, covered, mainOnly), c.mainOnlyNothingLeft);
    }
}

TEST(ScreenCover, AreasAreClippedToTheOverlayAndEmptyDisplaysCoverNothing) {
    const std::vector<MonitorRect> covered = {{-1280, 0, 0, 1024}, {0, 0, 1920, 1080}};
    // An overlay on the main display: the left display lies outside it.
    EXPECT_EQ(Describe(HiddenAreas(covered, Window(0, 0, 1920, 1080))), "1920x1080+0+0 ");
    // An overlay straddling both: each part clipped.
    EXPECT_EQ(Describe(HiddenAreas(covered, Window(-100, 10, 200, 50))),
              "100x50+0+0 100x50+100+0 ");
    // A display of no size is never covered, and an overlay that reaches no display shows
    // nothing.
    const std::vector<DisplayEntry> empty = {Display(0, 0, 0, 0)};
    EXPECT_TRUE(CoveredDisplays(empty, {-10, -10, 10, 10}).empty());
    EXPECT_TRUE(NothingLeftToShow({}, {}, Window(0, 0, 0, 0)));
}

// Several full-screen windows at once (the Linux player sees every one), on three displays side
// by side: the overlay clears the displays one of them fills whole, and pauses when that is
// every display it reaches.
TEST(ScreenCover, OnlyDisplaysAFullScreenWindowFillsWhole) {
    const MonitorRect left{-1280, 0, 0, 1024}, main{0, 0, 1920, 1080}, right{1920, 0, 2944, 768};
    const std::vector<DisplayEntry> three = {
        Display(-1280, 0, 1280, 1024), Display(0, 0, 1920, 1080), Display(1920, 0, 1024, 768)};
    struct Case {
        std::string name;
        MonitorRect window;  // the overlay
        std::vector<MonitorRect> fullScreen;
        std::vector<MonitorRect> shown, covered;  // the displays it reaches, those cleared
    };
    const std::vector<Case> cases = {
        {"nothing full screen", {-1280, 0, 2944, 1080}, {}, {left, main, right}, {}},
        {"one display filled", {-1280, 0, 2944, 1080}, {main}, {left, main, right}, {main}},
        {"a window larger than its display",
         {-1280, 0, 2944, 1080},
         {{-10, -30, 1930, 1090}},
         {left, main, right},
         {main}},
        {"a window short of the display by a pixel",
         {-1280, 0, 2944, 1080},
         {{0, 0, 1920, 1079}},
         {left, main, right},
         {}},
        {"one window across two displays",
         {-1280, 0, 2944, 1080},
         {{-1280, 0, 1920, 1080}},
         {left, main, right},
         {left, main}},
        {"every display filled",
         {-1280, 0, 2944, 1080},
         {left, main, right},
         {left, main, right},
         {left, main, right}},
        {"the overlay on one display, another filled", {0, 0, 1920, 1080}, {right}, {main}, {}},
        {"the overlay on one display, that one filled",
         {1920, 0, 2944, 768},
         {right},
         {right},
         {right}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const OverlayLayout overlay =
            Window(c.window.left, c.window.top, c.window.right - c.window.left,
                   c.window.bottom - c.window.top);
        const std::vector<MonitorRect> covered = CoveredDisplays(three, c.fullScreen);
        std::vector<MonitorEntry> expected;
        for (const MonitorRect& m : c.covered) {
            expected.push_back(
                {m.left - overlay.left, m.top - overlay.top, m.right - m.left, m.bottom - m.top});
        }
        EXPECT_EQ(Describe(HiddenAreas(covered, overlay)), Describe(expected));
        const bool pause = !c.covered.empty() && c.covered.size() == c.shown.size();
        EXPECT_EQ(!covered.empty() && NothingLeftToShow(three, covered, overlay), pause);
    }
}

// What a foreground window takes from the overlay, by its styles and rectangles and by what the
// shell says, on a main display of 1920x1080 with a 1280x1024 one on its left.
TEST(ScreenCover, OnlyAWindowThatReallyFillsADisplayTakesIt) {
    const MonitorRect main{0, 0, 1920, 1080}, left{-1280, 0, 0, 1024};
    // Style facts: C caption, F thick frame, M maximized.
    enum Style { Popup = 0, C = 1, F = 2, M = 4 };
    // A frame of 8 pixels and a caption of 23, as Windows 10 gives them.
    const MonitorRect widened{-8, -8, 1928, 1088}, belowCaption{0, 23, 1920, 1080};
    struct Case {
        const char* name;
        bool foreground;  // false: no candidate (none, the desktop, the player's own)
        int style;
        MonitorRect window, client;
        ShellFullScreen shell;
        MonitorRect foregroundMonitor;
        std::vector<MonitorRect> taken;
    };
    using S = ShellFullScreen;
    const Case cases[] = {
        {"maximized with a caption, no taskbar",
         true,
         C | F | M,
         widened,
         belowCaption,
         S::Ordinary,
         main,
         {}},
        {"maximized with a caption, presentation mode",
         true,
         C | F | M,
         widened,
         belowCaption,
         S::Presentation,
         main,
         {}},
        {"maximized with a caption, client area over the display",
         true,
         C | M,
         widened,
         main,
         S::Ordinary,
         main,
         {}},
        {"maximized with a caption, exclusive Direct3D",
         true,
         C | F | M,
         widened,
         belowCaption,
         S::Direct3D,
         main,
         {main}},
        {"borderless, exactly the display", true, Popup, main, main, S::Ordinary, main, {main}},
        {"borderless, beyond the display's edges",
         true,
         Popup,
         widened,
         widened,
         S::Ordinary,
         main,
         {main}},
        {"borderless and maximized over the display",
         true,
         M,
         main,
         main,
         S::Ordinary,
         main,
         {main}},
        {"borderless, a pixel short",
         true,
         Popup,
         {0, 0, 1919, 1080},
         {0, 0, 1919, 1080},
         S::Ordinary,
         main,
         {}},
        {"borderless, a pixel short, presentation mode",
         true,
         Popup,
         {0, 0, 1919, 1080},
         {0, 0, 1919, 1080},
         S::Presentation,
         main,
         {}},
        {"borderless across both displays",
         true,
         Popup,
         {-1280, 0, 1920, 1080},
         {-1280, 0, 1920, 1080},
         S::Ordinary,
         main,
         {main, left}},
        {"a caption pushed off the display, client area over it",
         true,
         C | F,
         {-8, -31, 1928, 1088},
         main,
         S::Ordinary,
         main,
         {main}},
        {"a large captioned window, client area short of the display",
         true,
         C | F,
         widened,
         belowCaption,
         S::Ordinary,
         main,
         {}},
        {"thick frame only, maximized, client area over the display",
         true,
         F | M,
         widened,
         main,
         S::Ordinary,
         main,
         {main}},
        {"thick frame only, client area short",
         true,
         F,
         widened,
         {0, 0, 1920, 1000},
         S::Ordinary,
         main,
         {}},
        {"maximized with a caption on the left display, exclusive Direct3D",
         true,
         C | F | M,
         {-1288, -8, 8, 1032},
         {-1280, 23, 0, 1024},
         S::Direct3D,
         left,
         {left}},
        {"no candidate, exclusive Direct3D", false, Popup, {}, {}, S::Direct3D, main, {main}},
        {"no candidate, presentation mode", false, Popup, {}, {}, S::Presentation, main, {}},
        {"no candidate", false, Popup, {}, {}, S::Ordinary, main, {}},
    };
    for (const Case& c : cases) {
        ForegroundWindowFacts facts;
        facts.window = c.window;
        facts.client = c.client;
        facts.caption = (c.style & C) != 0;
        facts.thickFrame = (c.style & F) != 0;
        facts.maximized = (c.style & M) != 0;
        const std::vector<MonitorRect> taken = DisplaysTakenByForeground(
            kTwo, c.foreground ? &facts : nullptr, c.shell, c.foregroundMonitor);
        EXPECT_EQ(Describe(taken), Describe(c.taken))
            << c.name << ": window " << Describe(std::vector{c.window}) << "client "
            << Describe(std::vector{c.client}) << "style " << c.style << " shell " << int(c.shell);
    }
}

// The location hook follows the foreground window's thread from one foreground to the next,
// and none while no other program's window is in front.
TEST(ScreenCover, TheLocationHookFollowsTheForegroundThread) {
    constexpr uint32_t own = 40;
    const WindowThreadId browser{100, 101}, browserOther{100, 102}, game{200, 201}, player{own, 41};
    using Id = std::optional<WindowThreadId>;
    struct Case {
        const char* name;
        Id hooked, foreground;
        HookStep step;
        WindowThreadId target;
    };
    const Case cases[] = {
        {"first foreground", std::nullopt, browser, HookStep::Hook, browser},
        {"same thread again", browser, browser, HookStep::Keep, {}},
        {"another program", browser, game, HookStep::Hook, game},
        {"another thread of the same program", browser, browserOther, HookStep::Hook, browserOther},
        {"the foreground gone", game, std::nullopt, HookStep::Unhook, {}},
        {"still none", std::nullopt, std::nullopt, HookStep::Keep, {}},
        {"the player's own window", game, player, HookStep::Unhook, {}},
        {"the player's own window, nothing hooked", std::nullopt, player, HookStep::Keep, {}},
    };
    auto describe = [](const Id& id) {
        return id ? std::to_string(id->process) + "/" + std::to_string(id->thread)
                  : std::string("none");
    };
    for (const Case& c : cases) {
        const LocationHookChoice choice = ChooseLocationHook(c.hooked, c.foreground, own);
        const std::string inputs = std::string(c.name) + ": hooked " + describe(c.hooked) +
                                   ", foreground " + describe(c.foreground);
        EXPECT_EQ(int(choice.step), int(c.step)) << inputs;
        if (c.step == HookStep::Hook) {
            EXPECT_EQ(describe(choice.target), describe(c.target)) << inputs;
        }
    }
}

}  // namespace

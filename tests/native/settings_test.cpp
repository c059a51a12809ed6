#include <gtest/gtest.h>

#include <string>

#include "settings/playback_settings.h"

namespace {

TEST(PlaybackSettings, StartsFromTheDefaults) {
    const PlaybackSettings settings;
    EXPECT_EQ(settings.shadowOpacity, 255);
    EXPECT_EQ(settings.backgroundOpacity, 0);
    EXPECT_FALSE(settings.showFps);
    EXPECT_TRUE(settings.limitFps);
    EXPECT_EQ(settings.displayMode, EachMonitor);
    EXPECT_EQ(settings.monitorIndex, 0);
    EXPECT_TRUE(settings.exitOnKey);
    EXPECT_FALSE(settings.keepOnTop);
    EXPECT_FALSE(settings.keepAtBottom);
}

TEST(OpacityToSlider, TruncatesTheScaledValue) {
    struct Case {
        int value;
        int position;
    };
    const Case cases[] = {{255, 100}, {254, 99}, {127, 49}, {128, 50}, {25, 9},
                          {3, 1},     {2, 0},    {1, 0},    {0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(OpacityToSlider(static_cast<uint8_t>(c.value)), c.position)
            << "value " << c.value;
    }
}

TEST(SliderToOpacity, TruncatesTheScaledPosition) {
    struct Case {
        int position;
        int value;
    };
    const Case cases[] = {{100, 255}, {99, 252}, {50, 127}, {37, 94}, {10, 25}, {1, 2}, {0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(SliderToOpacity(c.position), c.value) << "position " << c.position;
    }
}

TEST(SliderToOpacity, RisesWithThePositionAndNeverReadsBackHigher) {
    for (int position = 1; position <= 100; ++position) {
        SCOPED_TRACE(position);
        EXPECT_GT(SliderToOpacity(position), SliderToOpacity(position - 1));
        // The conversions are not inverse, but a stored value never reads back above the
        // position it came from, and never more than one below it.
        const int back = OpacityToSlider(SliderToOpacity(position));
        EXPECT_LE(back, position);
        EXPECT_GE(back, position - 1);
    }
}

TEST(DisplayLabel, NumbersPositionsFromOneInDecimal) {
    struct Case {
        int position;
        bool primary;
        const wchar_t* label;
    };
    const Case cases[] = {
        {0, false, L"DISPLAY 1"},
        {1, true, L"DISPLAY 2 (PRIMARY)"},
        {8, false, L"DISPLAY 9"},
        // From the tenth monitor on the number has two digits, not the character after '9'.
        {9, false, L"DISPLAY 10"},
        {10, true, L"DISPLAY 11 (PRIMARY)"},
        {99, false, L"DISPLAY 100"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DisplayLabel(c.position, c.primary), std::wstring(c.label))
            << "position " << c.position << " primary " << c.primary;
    }
}

}  // namespace

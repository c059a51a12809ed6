// The portable rules of the Linux player: frame turns, the frame-rate label's refresh, and the
// settings dialog's form as the resource script and the settings make it.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <string>
#include <vector>

#include "noctiva_dialog_texts.h"
#include "playback/frame_turn.h"
#include "playback/rate_label.h"
#include "resources/resource.h"
#include "settings/dialog_template.h"
#include "settings/settings_form.h"

TEST(FrameTurn, NextFrameIndexWrapsToFrameZeroExactly) {
    struct Case {
        int32_t index, advance, count, expected;
    };
    const Case cases[] = {
        {0, 1, 1, 0}, {0, 1, 5, 1},
        {3, 1, 5, 4}, {4, 1, 5, 0},
        {3, 3, 5, 0}, {2, 2, 5, 4},
        {0, 7, 5, 0}, {2147483646, 5, 2147483647, 0},  // no overflow past the largest index
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NextFrameIndex(c.index, c.advance, c.count), c.expected)
            << c.index << " + " << c.advance << " of " << c.count;
    }
}

TEST(FrameTurn, ARepeatWaitsAsLongAsTheLastPictureTookWithinBounds) {
    struct Case {
        int64_t ticks, frequency;
        uint32_t expected;
    };
    const Case cases[] = {
        {0, 1000, 1},       {-5, 1000, 1},  // never a spin, whatever the clock did
        {33, 1000, 33},     {3300000, 100000000, 33},
        {5000, 1000, 1000}, {INT64_MAX, 1, 1000},  // a stop is never kept waiting
        {10, 0, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RepeatTurnMilliseconds(c.ticks, c.frequency), c.expected)
            << c.ticks << " ticks at " << c.frequency << " per second";
    }
}

TEST(RateLabel, RefreshIsDueByDistanceAcrossTheCountersWrap) {
    struct Case {
        uint32_t now, due;
        bool expected;
    };
    const Case cases[] = {
        {1000, 1000, true},      {999, 1000, false},
        {1100, 1000, true},      {0xFFFFFFF0u, 40, false},  // 56 ms before a due time past the wrap
        {50, 0xFFFFFFF0u, true},  // 66 ms after a due time before the wrap
        {0x7FFFFFFFu, 0, true},  {0x80000001u, 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReachedMilliseconds(c.now, c.due), c.expected)
            << "now " << c.now << ", due " << c.due;
    }
}

TEST(RateLabel, TheShownRateChangesOnlyAtAPicture100MsAfterTheFirst) {
    std::setlocale(LC_NUMERIC, "C");
    RateLabelState state;
    state.meter.Start();
    state.meter.rate = 0.0;
    NotePicturePresented(state, 0xFFFFFFC0u);  // the first picture, 64 ms before the wrap
    EXPECT_EQ(state.shownRate, 0.0);
    EXPECT_EQ(state.nextRefreshMs, 0xFFFFFFC0u + kRateRefreshMs);

    state.meter.rate = 0.0;
    NotePicturePresented(state, 30);  // 94 ms later: not yet
    EXPECT_EQ(state.shownRate, 0.0);
    EXPECT_EQ(state.nextRefreshMs, 36u);

    NotePicturePresented(state, 36);  // 100 ms later: the meter's rate of the last interval
    EXPECT_GT(state.shownRate, 0.0);
    EXPECT_EQ(state.nextRefreshMs, 136u);
    EXPECT_EQ(RateLabelText(29.97), "FPS:30.0");
    EXPECT_EQ(RateLabelText(0.0), "FPS:0.0");
}

TEST(DialogTemplate, CaptionsBecomeGtkMnemonics) {
    struct Case {
        const char *caption, *expected;
    };
    const Case cases[] = {
        {"FPS表示(&F)", "FPS表示(_F)"},
        {"通常表示", "通常表示"},
        {"A&&B", "A&B"},
        {"snake_case", "snake__case"},
        {"&1", "_1"},
        {"end&", "end_"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MnemonicCaption(c.caption), c.expected) << c.caption;
    }
    EXPECT_EQ(UnixLineBreaks("a\r\nb\rc\n"), "a\nb\rc\n");
}

// The extracted template is dialog 129 of noctiva.rc: every control that the Windows dialog
// gives a tooltip has its string, and the rows come out as the template lays them out.
TEST(DialogTemplate, TheExtractedDialogMatchesTheResourceScript) {
    EXPECT_STREQ(kSettingsDialogCaption, "Tessarine PV Noctivaの設定");
    EXPECT_EQ(FindResourceString(kStringTable, IDS_WINDOW_TITLE), "Tessarine PV Noctiva");
    EXPECT_EQ(FindResourceString(kStringTable, 4242), "");
    const int tooltipControls[] = {1,    2,    1001, 1002, 1003, 1006, 1016,
                                   1017, 1018, 1020, 1013, 1014, 1015};
    for (int id : tooltipControls) {
        bool found = false;
        for (const DialogControl& control : kSettingsDialogControls) found |= control.id == id;
        EXPECT_TRUE(found) << "control " << id;
        EXPECT_FALSE(FindResourceString(kStringTable, id).empty()) << "tooltip of " << id;
    }
    EXPECT_EQ(UnixLineBreaks(FindResourceString(kStringTable, IDC_STACK_TOP)),
              "他のウィンドウよりも出しゃばります。\n映像を重ねて遊びたい人向け。");

    std::vector<std::vector<int>> rows;
    for (const auto& row : ControlRows(kSettingsDialogControls)) {
        rows.emplace_back();
        for (const DialogControl& control : row) rows.back().push_back(control.id);
    }
    const std::vector<std::vector<int>> expected = {
        {-1, 1004, 1001}, {-1, 1005, 1002},   {1003, 1006}, {1016, 1017, 1018, 1020},
        {1007},           {1013, 1014, 1015}, {1, 2},
    };
    EXPECT_EQ(rows, expected);

    int groups = 0;
    for (const DialogControl& control : kSettingsDialogControls) {
        groups += control.kind == ControlKind::RadioButton && control.groupStart;
    }
    EXPECT_EQ(groups, 2) << "display mode and stacking";
}

namespace {

std::vector<DisplayEntry> Displays(std::vector<bool> primaries) {
    std::vector<DisplayEntry> displays;
    int32_t left = 0;
    for (bool primary : primaries) {
        displays.push_back({left, 0, left + 800, 600, primary});
        left += 800;
    }
    return displays;
}

}  // namespace

// The English dialog names its controls as the user guide's English part does; the language
// follows the locale's name, and every message of a failure exists in both languages with its
// places for the file and the reason.
TEST(DialogTemplate, EnglishOutsideJapaneseLocales) {
    struct LocaleCase {
        const char* name;
        bool japanese;
    };
    const LocaleCase locales[] = {
        {"ja_JP.UTF-8", true},
        {"ja_JP.eucJP", true},
        {"ja", true},
        {"ja_JP", true},
        {"Japanese_Japan.932", true},
        {"en_US.UTF-8", false},
        {"C", false},
        {"C.UTF-8", false},
        {"POSIX", false},
        {"", false},
        {"jam_XX", false},
        {"de_DE@euro", false},
    };
    for (const LocaleCase& c : locales) {
        EXPECT_EQ(IsJapaneseLocale(c.name), c.japanese) << c.name;
        EXPECT_STREQ(DialogTextsForLocale(c.name).caption,
                     c.japanese ? "Tessarine PV Noctivaの設定" : "Tessarine PV Noctiva Settings")
            << c.name;
    }

    std::vector<std::string> captions;
    for (const DialogControl& control : kEnglishDialogTexts.controls) {
        if (*control.caption) captions.push_back(control.caption);
    }
    const std::vector<std::string> expected = {"Show &FPS",
                                               "Limit FPS",
                                               "Whole desktop",
                                               "Each monitor",
                                               "Chosen monitor",
                                               "End on a key press",
                                               "Normal",
                                               "Stay in front",
                                               "Stay behind",
                                               "Run",
                                               "Quit",
                                               "Shadow opacity",
                                               "Background opacity"};
    EXPECT_EQ(captions, expected);
    EXPECT_EQ(FindResourceString(kEnglishDialogTexts.strings, IDS_WINDOW_TITLE),
              "Tessarine PV Noctiva");
    EXPECT_EQ(FindResourceString(kEnglishDialogTexts.strings, IDS_WINDOW_CLASS), "Noctiva");

    for (const DialogTexts* texts : {&kJapaneseDialogTexts, &kEnglishDialogTexts}) {
        for (int id : {IDS_FAILURE_ARCHIVE, IDS_FAILURE_PLAYBACK, IDS_FAILURE_ARGUMENTS}) {
            const std::string_view message = FindResourceString(texts->strings, id);
            SCOPED_TRACE(testing::Message() << texts->caption << ", message " << id);
            EXPECT_NE(message.find("%2"), std::string_view::npos);
            // Only the archive's message names a file, and says how to look into it.
            EXPECT_EQ(message.find("%1") != std::string_view::npos, id == IDS_FAILURE_ARCHIVE);
            EXPECT_EQ(message.find("vektool check") != std::string_view::npos,
                      id == IDS_FAILURE_ARCHIVE);
        }
    }
}

TEST(SettingsForm, OpensWithTheDisplaysAndTheSettings) {
    struct Case {
        const char* name;
        std::vector<bool> primaries;
        std::vector<std::string> labels;
        int32_t shown;
        bool modeEnabled;
        int32_t monitorIndex;
    };
    const Case cases[] = {
        {"no display", {}, {}, -1, false, 7},
        {"one display", {true}, {}, -1, false, 7},
        {"second of two primary", {false, true}, {"DISPLAY 1", "DISPLAY 2 (PRIMARY)"}, 1, true, 1},
        {"none primary",
         {false, false, false},
         {"DISPLAY 1", "DISPLAY 2", "DISPLAY 3"},
         0,
         true,
         0},
    };
    for (const Case& c : cases) {
        PlaybackSettings settings;
        settings.monitorIndex = 7;
        const SettingsForm form = OpenSettingsForm(settings, Displays(c.primaries));
        EXPECT_EQ(form.monitorLabels, c.labels) << c.name;
        EXPECT_EQ(form.shownMonitor, c.shown) << c.name;
        EXPECT_EQ(form.modeChoiceEnabled, c.modeEnabled) << c.name;
        EXPECT_FALSE(form.monitorChoiceEnabled) << c.name;
        EXPECT_EQ(settings.monitorIndex, c.monitorIndex) << c.name;
    }

    PlaybackSettings defaults;
    const SettingsForm form = OpenSettingsForm(defaults, Displays({true}));
    EXPECT_EQ(form.shadowSlider, 100);
    EXPECT_EQ(form.backgroundSlider, 0);
    EXPECT_EQ(form.modeButton, IDC_MODE_EACH_MONITOR);
    EXPECT_EQ(form.stackingButton, IDC_STACK_NORMAL);
}

TEST(SettingsForm, ChoicesWriteTheSettingsAtOnce) {
    PlaybackSettings settings;
    SettingsForm form = OpenSettingsForm(settings, Displays({false, true}));

    ChooseDisplayMode(settings, form, IDC_MODE_CHOSEN_MONITOR);
    EXPECT_EQ(settings.displayMode, ChosenMonitor);
    EXPECT_TRUE(form.monitorChoiceEnabled);
    ChooseMonitor(settings, form, 0);
    EXPECT_EQ(settings.monitorIndex, 0);
    ChooseMonitor(settings, form, 2);  // no such entry: nothing changes
    EXPECT_EQ(settings.monitorIndex, 0);
    ChooseDisplayMode(settings, form, IDC_MODE_WHOLE_DESKTOP);
    EXPECT_EQ(settings.displayMode, WholeDesktop);
    EXPECT_FALSE(form.monitorChoiceEnabled);
    EXPECT_EQ(settings.monitorIndex, 0) << "kept when the combo box is disabled again";
    ChooseDisplayMode(settings, form, IDC_STACK_TOP);  // not a display-mode button
    EXPECT_EQ(settings.displayMode, WholeDesktop);

    struct Step {
        int32_t button;
        bool top, bottom;
    };
    const Step steps[] = {{IDC_STACK_TOP, true, false},
                          {IDC_STACK_NORMAL, false, false},
                          {IDC_STACK_TOP, true, false},
                          {IDC_STACK_BOTTOM, false, true},
                          {IDC_MODE_EACH_MONITOR, false, true}};
    for (const Step& step : steps) {
        ChooseStacking(settings, form, step.button);
        EXPECT_EQ(settings.keepOnTop, step.top) << step.button;
        EXPECT_EQ(settings.keepAtBottom, step.bottom) << step.button;
    }
}

// The user's choices for one run of the player, with their defaults.
#pragma once

#include <cstdint>
#include <string>

enum DisplayMode : int32_t {
    EachMonitor = 0,
    ChosenMonitor = 1,
    WholeDesktop = 2,
};

struct PlaybackSettings {
    uint8_t shadowOpacity = 255;
    uint8_t backgroundOpacity = 0;
    bool showFps = false;
    bool limitFps = true;
    int32_t displayMode = EachMonitor;
    int32_t monitorIndex = 0;
    bool exitOnKey = true;
    bool keepOnTop = false;
    bool keepAtBottom = false;
};

// Trackbar position (0..100) for a stored opacity, truncating: 255 -> 100, 127 -> 49.
int OpacityToSlider(uint8_t value);
// Stored opacity for a trackbar position 0..100, truncating: 99 -> 252, 10 -> 25.
uint8_t SliderToOpacity(int position);

// Combo-box text of the display at `position`: "DISPLAY 1", "DISPLAY 2 (PRIMARY)", "DISPLAY 10".
std::wstring DisplayLabel(int position, bool primary);

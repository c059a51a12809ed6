#include "settings/playback_settings.h"

int OpacityToSlider(uint8_t value) {
    return value * 100 / 255;
}

uint8_t SliderToOpacity(int position) {
    return static_cast<uint8_t>(position * 255 / 100);
}

std::wstring DisplayLabel(int position, bool primary) {
    // The number is written in decimal so that the tenth monitor reads "DISPLAY 10" rather than
    // the character after '9'. The sum is taken in 64 bits so no position can overflow it.
    std::wstring label = L"DISPLAY " + std::to_wstring(static_cast<int64_t>(position) + 1);
    if (primary) {
        label += L" (PRIMARY)";
    }
    return label;
}

#include "playback/rate_label.h"

#include <cstdio>

void NotePicturePresented(RateLabelState& state, uint32_t nowMs) {
    state.meter.Tick();
    if (state.firstPicture) {
        state.firstPicture = false;
        state.nextRefreshMs = nowMs + kRateRefreshMs;
    }
    if (ReachedMilliseconds(nowMs, state.nextRefreshMs)) {
        state.shownRate = state.meter.rate;
        state.nextRefreshMs = nowMs + kRateRefreshMs;
    }
}

std::string RateLabelText(double rate) {
    char text[64];
    std::snprintf(text, sizeof text, "FPS:%.1f", rate);
    return text;
}

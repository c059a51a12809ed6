// What the frame-rate label shows: the rate of the latest interval between two presented
// pictures, sampled at most every 100 ms. Portable, for the players without the Win32 loop.
#pragma once

#include <cstdint>
#include <string>

#include "playback/frame_clock.h"

inline constexpr uint32_t kRateRefreshMs = 100;

struct RateLabelState {
    FrameRateMeter meter;  // started by the caller before the first picture
    double shownRate = 0.0;
    uint32_t nextRefreshMs = 0;
    bool firstPicture = true;
};

// After a picture was presented at `nowMs`: tick the meter and refresh the shown rate when due.
void NotePicturePresented(RateLabelState& state, uint32_t nowMs);

// "FPS:%.1f" in the C library's locale.
std::string RateLabelText(double rate);

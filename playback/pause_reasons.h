// Why playback stands still. Each reason is set and cleared on its own; the player plays only
// while none is set.
#pragma once

#include <cstdint>

enum PauseReason : uint32_t {
    kPauseFullScreen = 1u << 0,     // a full-screen application leaves nothing to show
    kPauseSessionLocked = 1u << 1,  // the lock screen stands in front of the desktop
    kPauseDisplayOff = 1u << 2,     // the console display is off
    kPauseNoDisplay = 1u << 3,      // no display is attached (a lid closed on the only screen)
    kPauseDisconnected = 1u << 4,   // the player's session has no screen (a remote disconnect)
};

constexpr uint32_t WithReason(uint32_t reasons, uint32_t reason, bool set) {
    return set ? reasons | reason : reasons & ~reason;
}

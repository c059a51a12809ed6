// When to try a new device again, and when to give up, after the device was lost (a driver
// update or reset blanks it for seconds): the retries back off from a second to half a minute,
// and the player gives up only after two minutes without a working device and ten failed
// recreations, whichever comes later. Times are 32-bit millisecond counts that may wrap.
#pragma once

#include <cstdint>

inline constexpr uint32_t kFirstRetryDelayMs = 1000;
inline constexpr uint32_t kLongestRetryDelayMs = 30000;
inline constexpr uint32_t kGiveUpAfterMs = 120000;
inline constexpr uint32_t kFailedRecreationsToGiveUp = 10;

struct DeviceRecovery {
    bool recovering = false;  // no working device since `lostAtMs`
    uint32_t lostAtMs = 0;
    uint32_t failures = 0;  // failed recreations since then
};

// The delay before the retry that follows the `failures`-th failed recreation (1 for the first):
// 1, 2, 4, 8, 16, 30, 30 ... seconds.
uint32_t RetryDelayMs(uint32_t failures);

// The working device was lost at `nowMs`: a recovery starts, unless one is going on already (a
// device made during the recovery that is lost before it showed a picture never worked).
void NoteDeviceLost(DeviceRecovery& recovery, uint32_t nowMs);

// A device made during the recovery showed a picture: the next loss starts afresh.
void NoteDeviceWorks(DeviceRecovery& recovery);

struct RetryDecision {
    bool giveUp = false;
    uint32_t retryDelayMs = 0;  // when not giving up
};

// A recreation failed at `nowMs` (the device could not be made, or a new one was lost before it
// showed a picture).
RetryDecision NoteFailedRecreation(DeviceRecovery& recovery, uint32_t nowMs);

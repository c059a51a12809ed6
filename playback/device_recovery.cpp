#include "playback/device_recovery.h"

uint32_t RetryDelayMs(uint32_t failures) {
    uint32_t delay = kFirstRetryDelayMs;
    for (uint32_t i = 1; i < failures && delay < kLongestRetryDelayMs; ++i) delay *= 2;
    return delay < kLongestRetryDelayMs ? delay : kLongestRetryDelayMs;
}

void NoteDeviceLost(DeviceRecovery& recovery, uint32_t nowMs) {
    if (recovery.recovering) return;
    recovery = DeviceRecovery{true, nowMs, 0};
}

void NoteDeviceWorks(DeviceRecovery& recovery) {
    recovery = DeviceRecovery{};
}

RetryDecision NoteFailedRecreation(DeviceRecovery& recovery, uint32_t nowMs) {
    if (!recovery.recovering) NoteDeviceLost(recovery, nowMs);
    ++recovery.failures;
    // The difference of two wrapping counts is the time between them, across a wrap too.
    const uint32_t withoutDevice = nowMs - recovery.lostAtMs;
    if (withoutDevice >= kGiveUpAfterMs && recovery.failures >= kFailedRecreationsToGiveUp) {
        return RetryDecision{true, 0};
    }
    return RetryDecision{false, RetryDelayMs(recovery.failures)};
}

#include "playback/device_recovery.h"

#include <algorithm>

#include "playback/frame_clock.h"

bool NoteFailedRecreation(RecreationFailures& failures, uint32_t nowMs) {
    std::vector<uint32_t>& times = failures.timesMs;
    // A failure a minute old or older no longer counts.
    times.erase(std::remove_if(times.begin(), times.end(),
                               [nowMs](uint32_t t) {
                                   return ReachedMilliseconds(nowMs, t + kRecreationWindowMs);
                               }),
                times.end());
    times.push_back(nowMs);
    return times.size() >= kFailedRecreationsToGiveUp;
}

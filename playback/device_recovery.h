// When to give up making new devices: after three failed recreations within a minute.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr uint32_t kRecreationWindowMs = 60000;
inline constexpr size_t kFailedRecreationsToGiveUp = 3;

struct RecreationFailures {
    std::vector<uint32_t> timesMs;  // the failures of the last minute, oldest first
};

// Notes a failed recreation at `nowMs` (a 32-bit millisecond count that may wrap); true when it
// is the third within a minute, after which the player gives up.
bool NoteFailedRecreation(RecreationFailures& failures, uint32_t nowMs);

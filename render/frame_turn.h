// The small rules of one worker turn that every platform's worker follows.
#pragma once

#include <cstdint>

#include "archive/archive_format.h"

// Frame index after a turn: a skip past the last frame starts over at frame 0 exactly.
int32_t NextFrameIndex(int32_t index, int32_t advance, int32_t frameCount);

// True when the frame about to be shown names the very bytes of the one shown last (an archive
// packed with shared streams stores a still scene once), so its picture would not change:
// reading, composing, rendering and handing it over are skipped, the pacing is not.
bool RepeatsShownFrame(const FrameIndexEntry& shown, const FrameIndexEntry& next);

// Runs of one picture in an archive: frames whose index entries name the same stored bytes
// (repeated stills, frame-rate conversion) show the same picture and need no second decoding.
#pragma once

#include <cstdint>
#include <vector>

#include "archive/archive_format.h"

// True when both entries name the same stream: the same offset and the same packed size.
bool NamesSameBytes(const FrameIndexEntry& a, const FrameIndexEntry& b);

// True when frame `next` would show the very picture that frame `shown` showed, so a player can
// keep the picture on screen instead of decoding, rendering and handing it over again. `shown`
// is the frame last handed over, -1 when nothing has been yet; a number outside the index is
// never a repeat (such a frame must go to the reader, which reports it).
bool RepeatsShownFrame(const std::vector<FrameIndexEntry>& index, int32_t shown, int32_t next);

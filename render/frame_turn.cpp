#include "render/frame_turn.h"

int32_t NextFrameIndex(int32_t index, int32_t advance, int32_t frameCount) {
    const int64_t next = int64_t{index} + advance;
    return next >= frameCount ? 0 : int32_t(next);
}

bool RepeatsShownFrame(const FrameIndexEntry& shown, const FrameIndexEntry& next) {
    return shown.offset == next.offset && shown.packedSize == next.packedSize;
}

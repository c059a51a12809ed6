#include "archive/frame_repeat.h"

namespace {

bool InIndex(const std::vector<FrameIndexEntry>& index, int32_t n) {
    return n >= 0 && static_cast<size_t>(n) < index.size();
}

}  // namespace

bool NamesSameBytes(const FrameIndexEntry& a, const FrameIndexEntry& b) {
    return a.offset == b.offset && a.packedSize == b.packedSize;
}

bool RepeatsShownFrame(const std::vector<FrameIndexEntry>& index, int32_t shown, int32_t next) {
    if (!InIndex(index, shown) || !InIndex(index, next)) return false;
    return NamesSameBytes(index[static_cast<size_t>(shown)], index[static_cast<size_t>(next)]);
}

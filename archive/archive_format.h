#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

// On-disk records of the frame archive. Each record is filled by reading its bytes straight
// from the file, so its memory layout must be exactly the file layout: little-endian words,
// no padding.

struct ArchiveHeader {
    uint32_t width;
    uint32_t height;
    uint32_t frameCount;
    uint32_t reserved;
};

struct FrameIndexEntry {
    uint32_t offset;
    uint32_t packedSize;
};

static_assert(std::endian::native == std::endian::little,
              "archive records are read as raw little-endian words");
static_assert(std::is_standard_layout_v<ArchiveHeader> &&
              std::is_trivially_copyable_v<ArchiveHeader>);
static_assert(sizeof(ArchiveHeader) == 16);
static_assert(offsetof(ArchiveHeader, width) == 0 && offsetof(ArchiveHeader, height) == 4 &&
              offsetof(ArchiveHeader, frameCount) == 8 && offsetof(ArchiveHeader, reserved) == 12);
static_assert(std::is_standard_layout_v<FrameIndexEntry> &&
              std::is_trivially_copyable_v<FrameIndexEntry>);
static_assert(sizeof(FrameIndexEntry) == 8);
static_assert(offsetof(FrameIndexEntry, offset) == 0 && offsetof(FrameIndexEntry, packedSize) == 4);

inline constexpr uint32_t kArchiveHeaderSize = sizeof(ArchiveHeader);
inline constexpr uint32_t kIndexEntrySize = sizeof(FrameIndexEntry);

// The largest frame count whose index end (16 + 8 × count) still fits in 32 bits.
inline constexpr uint32_t kMaxFrameCount = 536'870'911;

// A stream is positioned with a signed 32-bit distance from the start of the file.
inline constexpr uint64_t kMaxStreamStart = 2'147'483'647;

// File position of the frame data area for a given frame count.
constexpr uint64_t DataAreaStart(uint32_t frameCount) {
    return kArchiveHeaderSize + uint64_t{kIndexEntrySize} * frameCount;
}

// Bytes of one decoded frame, or 0 when width × height does not fit in 32 bits: such a frame
// would get a wrapped, far too small buffer.
constexpr uint64_t DecodedFrameSize(uint32_t width, uint32_t height) {
    const uint64_t product = uint64_t{width} * height;
    return product > UINT32_MAX ? 0 : product;
}

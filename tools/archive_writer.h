#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/archive_format.h"

struct PackOptions {
    int level = 9;  // zlib level 0-9
    bool dedupe = false;
};

// Builds a frame archive in memory: the header, the index and the frames' zlib streams. Only
// the compressed streams are kept, so long animations fit.
class ArchiveBuilder {
  public:
    ArchiveBuilder(uint32_t width, uint32_t height, PackOptions options);

    // Adds one picture given top row first (width × height bytes).
    void AddFrame(std::span<const uint8_t> topDownPixels);

    // Adds a frame whose stream FrameStream made.
    void AddStream(std::span<const uint8_t> stream);

    // Shows the last frame `times` more times, through the same stream.
    void RepeatLastFrame(uint32_t times);

    uint32_t Width() const { return width; }
    uint32_t Height() const { return height; }
    int Level() const { return options.level; }

    uint32_t FrameCount() const { return static_cast<uint32_t>(index.size()); }
    size_t StoredStreams() const { return streamCount; }

    // The whole archive file; throws ToolError when it would break the format's limits.
    std::vector<uint8_t> Serialize() const;

  private:
    uint32_t width;
    uint32_t height;
    PackOptions options;
    std::vector<FrameIndexEntry> index;
    std::vector<uint8_t> data;
    size_t streamCount = 0;
    // Stream hash -> index entries already stored under it, for --dedupe.
    std::unordered_multimap<size_t, FrameIndexEntry> storedByHash;
};

// One zlib stream of `pixels` at the given level.
std::vector<uint8_t> CompressStream(std::span<const uint8_t> pixels, int level);

// The stream that stores a picture given top row first: its rows turned over and compressed.
std::vector<uint8_t> FrameStream(std::span<const uint8_t> topDownPixels, uint32_t width,
                                 uint32_t height, int level);

// Writes `bytes` to a temporary file beside `path` and renames it into place, so a failure
// never leaves a half-written archive nor destroys an existing one. Throws ToolError.
void WriteFileReplacing(const std::string& path, std::span<const uint8_t> bytes);

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/archive_format.h"

class RemovedIfInterrupted;

// Puts the complete archive file `finished`, which lies in the same folder, in the place of
// `archive`. Throws ToolError; `finished` is then removed by the caller.
using ArchivePlacement =
    std::function<void(const std::string& finished, const std::string& archive)>;

// The plain placement: the archive replaced in one step.
void ReplaceArchive(const std::string& finished, const std::string& archive);

struct PackOptions {
    int level = 9;  // zlib level 0-9
    bool dedupe = false;
};

// Builds a frame archive: the header, the index and the frames' zlib streams. Only the index
// and the compressed streams are kept; with a path the streams go to a scratch file beside it
// as they come, so that memory does not grow with the animation's length.
class ArchiveBuilder {
  public:
    // Keeps the streams in memory, for Serialize.
    ArchiveBuilder(uint32_t width, uint32_t height, PackOptions options);
    // Writes the streams to a scratch file beside `path`, for Commit.
    ArchiveBuilder(uint32_t width, uint32_t height, PackOptions options, std::string path);
    ~ArchiveBuilder();
    ArchiveBuilder(const ArchiveBuilder&) = delete;
    ArchiveBuilder& operator=(const ArchiveBuilder&) = delete;

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

    // The whole archive file's size.
    uint64_t FileSize() const { return DataAreaStart(FrameCount()) + dataSize; }

    // The whole archive file; throws ToolError when it would break the format's limits.
    std::vector<uint8_t> Serialize() const;

    // Writes the archive beside the path given at construction and puts it in place with
    // `placement`, which an interrupt never cuts short: an archive that was there stays whole
    // until then. Throws ToolError.
    void Commit(const ArchivePlacement& placement = ReplaceArchive);

  private:
    void CheckStreamStarts() const;
    void AppendData(std::span<const uint8_t> stream);
    bool StoredEquals(const FrameIndexEntry& stored, std::span<const uint8_t> stream);
    [[noreturn]] void FailWriting() const;

    uint32_t width;
    uint32_t height;
    PackOptions options;
    std::vector<FrameIndexEntry> index;
    std::vector<uint8_t> data;  // without a path
    std::string path;
    std::string scratchPath;
    std::FILE* scratch = nullptr;  // with a path
    std::unique_ptr<RemovedIfInterrupted> scratchGuard;
    uint64_t dataSize = 0;
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

#include "archive_writer.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string_view>

#include "picture_io.h"
#include "platform_tools.h"
#include "tool_error.h"

std::vector<uint8_t> CompressStream(std::span<const uint8_t> pixels, int level) {
    uLongf length = compressBound(static_cast<uLong>(pixels.size()));
    std::vector<uint8_t> stream(length);
    if (compress2(stream.data(), &length, pixels.data(), static_cast<uLong>(pixels.size()),
                  level) != Z_OK) {
        FailInput("zlib cannot compress a frame");
    }
    stream.resize(length);
    return stream;
}

ArchiveBuilder::ArchiveBuilder(uint32_t width, uint32_t height, PackOptions options)
    : width(width), height(height), options(options) {
    if (width == 0 || height == 0 || DecodedFrameSize(width, height) == 0) {
        FailInput("frame size " + std::to_string(width) + "x" + std::to_string(height) +
                  " cannot be stored");
    }
}

std::vector<uint8_t> FrameStream(std::span<const uint8_t> topDownPixels, uint32_t width,
                                 uint32_t height, int level) {
    return CompressStream(FlipRows(topDownPixels, width, height), level);
}

void ArchiveBuilder::AddFrame(std::span<const uint8_t> topDownPixels) {
    AddStream(FrameStream(topDownPixels, width, height, options.level));
}

void ArchiveBuilder::RepeatLastFrame(uint32_t times) {
    if (index.empty()) return;
    if (index.size() + times > kMaxFrameCount) FailInput("too many frames for one archive");
    index.insert(index.end(), times, index.back());
}

void ArchiveBuilder::AddStream(std::span<const uint8_t> stream) {
    if (index.size() >= kMaxFrameCount) FailInput("too many frames for one archive");
    const std::string_view bytes(reinterpret_cast<const char*>(stream.data()), stream.size());
    const size_t hash = std::hash<std::string_view>{}(bytes);

    if (options.dedupe) {
        // Identical pictures give identical streams at one level, so equal streams share bytes.
        auto [first, last] = storedByHash.equal_range(hash);
        for (auto it = first; it != last; ++it) {
            const FrameIndexEntry& stored = it->second;
            if (stored.packedSize == stream.size() &&
                std::memcmp(data.data() + stored.offset, stream.data(), stream.size()) == 0) {
                index.push_back(stored);
                return;
            }
        }
    }
    if (data.size() + stream.size() > kMaxStreamStart) FailInput("archive would exceed 2 GiB");
    const FrameIndexEntry entry{static_cast<uint32_t>(data.size()),
                                static_cast<uint32_t>(stream.size())};
    data.insert(data.end(), stream.begin(), stream.end());
    index.push_back(entry);
    ++streamCount;
    if (options.dedupe) storedByHash.emplace(hash, entry);
}

std::vector<uint8_t> ArchiveBuilder::Serialize() const {
    const uint64_t dataStart = DataAreaStart(FrameCount());
    for (size_t n = 0; n < index.size(); ++n) {
        if (dataStart + index[n].offset > kMaxStreamStart) {
            FailInput("archive too large: frame " + std::to_string(n) +
                      " would start beyond 2 GiB");
        }
    }
    const ArchiveHeader header{width, height, FrameCount(), 0};
    std::vector<uint8_t> file(dataStart + data.size());
    std::memcpy(file.data(), &header, sizeof header);
    if (!index.empty()) {
        std::memcpy(file.data() + sizeof header, index.data(), index.size() * sizeof index[0]);
    }
    if (!data.empty()) std::memcpy(file.data() + dataStart, data.data(), data.size());
    return file;
}

void WriteFileReplacing(const std::string& path, std::span<const uint8_t> bytes) {
    std::random_device random;
    const std::string temporary = path + ".tmp" + std::to_string(random() % 1000000);
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr) FailInput(path + ": cannot create " + temporary);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed || !ReplaceFileAtomically(temporary, path)) {
        std::remove(temporary.c_str());
        FailInput(path + ": cannot write the archive");
    }
}

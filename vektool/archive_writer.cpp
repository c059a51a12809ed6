#include "archive_writer.h"

#include <zlib.h>

#include <algorithm>
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

std::string TemporaryNameBeside(const std::string& path) {
    std::random_device random;
    return path + ".tmp" + std::to_string(random() % 1000000);
}

ArchiveBuilder::ArchiveBuilder(uint32_t width, uint32_t height, PackOptions options)
    : width(width), height(height), options(options) {
    if (width == 0 || height == 0 || DecodedFrameSize(width, height) == 0) {
        FailInput("frame size " + std::to_string(width) + "x" + std::to_string(height) +
                  " cannot be stored");
    }
}

ArchiveBuilder::ArchiveBuilder(uint32_t width, uint32_t height, PackOptions options,
                               std::string archivePath)
    : ArchiveBuilder(width, height, options) {
    path = std::move(archivePath);
    scratchPath = TemporaryNameBeside(path) + ".streams";
    scratch = std::fopen(scratchPath.c_str(), "w+b");
    if (scratch == nullptr) FailInput(path + ": cannot create " + scratchPath);
}

ArchiveBuilder::~ArchiveBuilder() {
    if (scratch == nullptr) return;
    std::fclose(scratch);
    std::remove(scratchPath.c_str());
}

void ArchiveBuilder::FailWriting() const {
    FailInput(path + ": cannot write the archive (is the disk full?)");
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
            if (StoredEquals(it->second, stream)) {
                index.push_back(it->second);
                return;
            }
        }
    }
    if (dataSize + stream.size() > kMaxStreamStart) FailInput("archive would exceed 2 GiB");
    const FrameIndexEntry entry{static_cast<uint32_t>(dataSize),
                                static_cast<uint32_t>(stream.size())};
    AppendData(stream);
    index.push_back(entry);
    ++streamCount;
    if (options.dedupe) storedByHash.emplace(hash, entry);
}

void ArchiveBuilder::AppendData(std::span<const uint8_t> stream) {
    if (scratch == nullptr) {
        data.insert(data.end(), stream.begin(), stream.end());
    } else if (std::fseek(scratch, 0, SEEK_END) != 0 ||
               std::fwrite(stream.data(), 1, stream.size(), scratch) != stream.size()) {
        FailWriting();
    }
    dataSize += stream.size();
}

bool ArchiveBuilder::StoredEquals(const FrameIndexEntry& stored, std::span<const uint8_t> stream) {
    if (stored.packedSize != stream.size()) return false;
    if (scratch == nullptr) {
        return std::memcmp(data.data() + stored.offset, stream.data(), stream.size()) == 0;
    }
    // Stream starts stay below 2 GiB, within reach of a plain fseek everywhere.
    std::vector<uint8_t> bytes(stream.size());
    if (std::fseek(scratch, static_cast<long>(stored.offset), SEEK_SET) != 0 ||
        std::fread(bytes.data(), 1, bytes.size(), scratch) != bytes.size()) {
        FailWriting();
    }
    return std::memcmp(bytes.data(), stream.data(), stream.size()) == 0;
}

void ArchiveBuilder::CheckStreamStarts() const {
    const uint64_t dataStart = DataAreaStart(FrameCount());
    for (size_t n = 0; n < index.size(); ++n) {
        if (dataStart + index[n].offset > kMaxStreamStart) {
            FailInput("archive too large: frame " + std::to_string(n) +
                      " would start beyond 2 GiB");
        }
    }
}

void ArchiveBuilder::Commit() {
    if (scratch == nullptr) FailInput("archive written twice or without a path");
    CheckStreamStarts();
    const std::string temporary = TemporaryNameBeside(path);
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr) FailInput(path + ": cannot create " + temporary);
    const ArchiveHeader header{width, height, FrameCount(), 0};
    bool written = std::fwrite(&header, sizeof header, 1, out) == 1 &&
                   std::fwrite(index.data(), sizeof index[0], index.size(), out) == index.size() &&
                   std::fflush(scratch) == 0 && std::fseek(scratch, 0, SEEK_SET) == 0;
    std::vector<uint8_t> chunk(1 << 20);
    for (uint64_t left = dataSize; written && left > 0;) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
        written = std::fread(chunk.data(), 1, count, scratch) == count &&
                  std::fwrite(chunk.data(), 1, count, out) == count;
        left -= count;
    }
    const bool closed = std::fclose(out) == 0;
    std::fclose(scratch);
    scratch = nullptr;
    std::remove(scratchPath.c_str());
    if (!written || !closed || !ReplaceFileAtomically(temporary, path)) {
        std::remove(temporary.c_str());
        FailInput(path + ": cannot write the archive");
    }
}

std::vector<uint8_t> ArchiveBuilder::Serialize() const {
    if (!path.empty()) FailInput("the archive's streams are in " + scratchPath);
    CheckStreamStarts();
    const uint64_t dataStart = DataAreaStart(FrameCount());
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
    const std::string temporary = TemporaryNameBeside(path);
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr) FailInput(path + ": cannot create " + temporary);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed || !ReplaceFileAtomically(temporary, path)) {
        std::remove(temporary.c_str());
        FailInput(path + ": cannot write the archive");
    }
}

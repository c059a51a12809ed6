#include "archive_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "file_names.h"
#include "interrupt_cleanup.h"
#include "leftover_files.h"
#include "picture_io.h"
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

void ReplaceArchive(const std::string& finished, const std::string& archive) {
    if (!ReplaceFileAtomically(finished, archive))
        FailInput(archive + ": cannot write the archive");
}

namespace {

// Writes a file beside `path` with `write` and puts it in place with `placement`; the file
// goes again when anything fails or an interrupt comes first.
void WriteBesideAndPlace(const std::string& path, const std::function<bool(std::FILE*)>& write,
                         const ArchivePlacement& placement) {
    std::string temporary;
    std::FILE* out = CreateScratchBeside(path, ".partial", temporary);
    const RemovedIfInterrupted guard(temporary);
    const bool written = write(out);
    const bool closed = std::fclose(out) == 0;
    try {
        if (!written || !closed) FailInput(path + ": cannot write the archive (is the disk full?)");
        RunUninterrupted([&] { placement(temporary, path); });
    } catch (...) {
        RemoveFile(temporary);
        throw;
    }
}

}  // namespace

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
    scratch = CreateScratchBeside(path, ".streams", scratchPath);
    scratchGuard = std::make_unique<RemovedIfInterrupted>(scratchPath);
}

ArchiveBuilder::~ArchiveBuilder() {
    if (scratch == nullptr) return;
    std::fclose(scratch);
    RemoveFile(scratchPath);
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

void ArchiveBuilder::Commit(const ArchivePlacement& placement) {
    if (scratch == nullptr) FailInput("archive written twice or without a path");
    CheckStreamStarts();
    const auto copyArchive = [&](std::FILE* out) {
        const ArchiveHeader header{width, height, FrameCount(), 0};
        bool written =
            std::fwrite(&header, sizeof header, 1, out) == 1 &&
            std::fwrite(index.data(), sizeof index[0], index.size(), out) == index.size() &&
            std::fflush(scratch) == 0 && std::fseek(scratch, 0, SEEK_SET) == 0;
        std::vector<uint8_t> chunk(1 << 20);
        for (uint64_t left = dataSize; written && left > 0;) {
            const size_t count = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
            written = std::fread(chunk.data(), 1, count, scratch) == count &&
                      std::fwrite(chunk.data(), 1, count, out) == count;
            left -= count;
        }
        return written;
    };
    WriteBesideAndPlace(path, copyArchive, placement);
    std::fclose(scratch);
    scratch = nullptr;
    RemoveFile(scratchPath);
    scratchGuard.reset();
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
    WriteBesideAndPlace(
        path,
        [&](std::FILE* out) {
            return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
        },
        ReplaceArchive);
}

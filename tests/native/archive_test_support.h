#pragma once

// An archive writer for the tests that shares nothing with vektool's packer: it lays out the
// bytes itself and calls zlib directly, so that the reader is never checked only against the
// project's own writer. Also makes deliberately broken streams.

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "archive/archive_file.h"

namespace archive_test {

using Bytes = std::vector<uint8_t>;

enum class Wrapper { Zlib, Gzip, Raw };

// One deflate stream of `data`; windowBits 8-15, level and strategy as zlib takes them.
inline Bytes Deflate(const Bytes& data, int level = 6, Wrapper wrapper = Wrapper::Zlib,
                     int windowBits = 15, int strategy = Z_DEFAULT_STRATEGY,
                     const Bytes* dictionary = nullptr) {
    z_stream stream{};
    const int bits = wrapper == Wrapper::Gzip  ? windowBits + 16
                     : wrapper == Wrapper::Raw ? -windowBits
                                               : windowBits;
    if (deflateInit2(&stream, level, Z_DEFLATED, bits, 9, strategy) != Z_OK) return {};
    if (dictionary != nullptr) {
        deflateSetDictionary(&stream, dictionary->data(), static_cast<uInt>(dictionary->size()));
    }
    Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())) + 64);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return result == Z_STREAM_END ? out : Bytes{};
}

// A picture whose every byte depends on its position and the seed, so that a frame read from
// the wrong place or in the wrong order shows.
inline Bytes Pattern(size_t size, uint32_t seed) {
    Bytes out(size);
    std::mt19937 random(seed);
    for (size_t i = 0; i < size; ++i) {
        // Runs of equal bytes, so that the streams compress like real shadow frames.
        out[i] = static_cast<uint8_t>((i / 7 + seed * 37) % 5 == 0 ? random() : (seed * 50) % 256);
    }
    return out;
}

inline void PutWord(Bytes& out, size_t at, uint32_t value) {
    if (out.size() < at + 4) out.resize(at + 4);
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

struct Entry {
    uint32_t offset;
    uint32_t packedSize;
};

// Header and index as given, followed by `data` as the frame data area.
inline Bytes LayOut(uint32_t width, uint32_t height, const std::vector<Entry>& entries,
                    const Bytes& data, uint32_t reserved = 0) {
    Bytes out;
    PutWord(out, 0, width);
    PutWord(out, 4, height);
    PutWord(out, 8, static_cast<uint32_t>(entries.size()));
    PutWord(out, 12, reserved);
    for (size_t n = 0; n < entries.size(); ++n) {
        PutWord(out, 16 + 8 * n, entries[n].offset);
        PutWord(out, 20 + 8 * n, entries[n].packedSize);
    }
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// An archive of the given streams stored one after the other in frame order.
inline Bytes ArchiveOf(uint32_t width, uint32_t height, const std::vector<Bytes>& streams,
                       uint32_t reserved = 0) {
    std::vector<Entry> entries;
    Bytes data;
    for (const Bytes& stream : streams) {
        entries.push_back(
            {static_cast<uint32_t>(data.size()), static_cast<uint32_t>(stream.size())});
        data.insert(data.end(), stream.begin(), stream.end());
    }
    return LayOut(width, height, entries, data, reserved);
}

// A file in the test's own temporary directory, removed at the end of the test.
class TempFile {
  public:
    explicit TempFile(const Bytes& content,
                      const std::filesystem::path& name = std::filesystem::path("archive.vek")) {
        static int counter = 0;
        std::random_device random;
        directory =
            std::filesystem::temp_directory_path() /
            ("noctiva-archive-test-" + std::to_string(random()) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(directory);
        path = directory / name;
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(content.data()),
                   static_cast<std::streamsize>(content.size()));
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // The path as the reader takes it. The C++ library would need a UTF-8 locale to widen it
    // natively; the archive layer's own conversion needs none.
    std::wstring Wide() const { return WideOf(path); }
    static std::wstring WideOf(const std::filesystem::path& p) {
#ifdef _WIN32
        return p.wstring();
#else
        return WidePathFromNative(p.string());
#endif
    }
    std::string Narrow() const {
        return path.string();
    }

    std::filesystem::path directory;
    std::filesystem::path path;
};

}  // namespace archive_test

// Feeds arbitrary bytes to the archive reader as a whole archive file, and to the inflater as a
// single stream. The reader must either refuse to open the file or report every frame as read
// or failed; it must never crash, hang, overrun a buffer or throw.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/image_unpacker.h"

namespace {

// Frames above this size are valid but would make the fuzzer report its own memory limit;
// the reader allocates them only after every cheaper check has passed.
constexpr uint64_t kLargestFrameToRead = 1u << 22;
constexpr uint32_t kMostFramesToRead = 64;

const std::string& ScratchPath() {
    static const std::string path = [] {
        const char* directory = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(directory) + "/noctiva-archive-fuzz-" + std::to_string(getpid()) +
               ".vek";
    }();
    return path;
}

bool WriteScratch(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(ScratchPath().c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

void ReadArchive() {
    ImageUnpacker unpacker;
    if (!unpacker.Open(WidePathFromNative(ScratchPath()))) {
        if (unpacker.IsOpen() || !unpacker.Index().empty()) std::abort();
        return;
    }
    if (unpacker.Index().size() != unpacker.FrameCount()) std::abort();
    std::vector<uint8_t> frame;
    const uint64_t frameSize = uint64_t{unpacker.Width()} * unpacker.Height();
    // Sizes that wrap 32 bits or are 0 are refused before any allocation, so read those too.
    const bool affordable = frameSize <= kLargestFrameToRead || frameSize > UINT32_MAX;
    const uint32_t frames = affordable ? std::min(unpacker.FrameCount(), kMostFramesToRead) : 0;
    for (uint32_t n = 0; n < frames; ++n) {
        const FrameStatus status = unpacker.TryReadFrame(n, frame);
        if (status.Ok() != (frame.size() == frameSize && frameSize != 0)) std::abort();
        if (status.Ok() && frameSize > UINT32_MAX) std::abort();
    }
    if (unpacker.TryReadFrame(unpacker.FrameCount(), frame).error != FrameError::NumberOutOfRange) {
        std::abort();
    }
}

void InflateWhole(const uint8_t* data, size_t size) {
    if (size > UINT32_MAX) return;
    std::vector<uint8_t> output(size % 4096 + 1);
    TryInflateFrame(data, static_cast<uint32_t>(size), output.data(),
                    static_cast<uint32_t>(output.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WriteScratch(data, size)) return 0;
    ReadArchive();
    InflateWhole(data, size);
    return 0;
}

#include "command_line.h"

#include "archive/archive_failure.h"
#include "file_names.h"
#include "tool_error.h"

uint32_t ParseNumber(const std::string& text, uint32_t low, uint32_t high,
                     const std::string& what) {
    uint64_t value = 0;
    bool valid = !text.empty() && text.size() <= 10;
    for (const char c : text) {
        if (c < '0' || c > '9') valid = false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (!valid || value < low || value > high) {
        FailUsage(what + " must be a number from " + std::to_string(low) + " to " +
                  std::to_string(high) + ", not '" + text + "'");
    }
    return static_cast<uint32_t>(value);
}

void ParseSize(const std::string& text, const std::string& what, uint32_t& width,
               uint32_t& height) {
    constexpr uint32_t kLargestSide = 16384;
    const size_t x = text.find('x');
    if (x == std::string::npos) FailUsage(what + " must look like 480x360, not '" + text + "'");
    width = ParseNumber(text.substr(0, x), 1, kLargestSide, what + " width");
    height = ParseNumber(text.substr(x + 1), 1, kLargestSide, what + " height");
}

void OpenArchiveOrFail(ImageUnpacker& unpacker, const std::string& path) {
    const OpenStatus status = unpacker.TryOpen(ArchivePathOf(path).c_str());
    if (status != OpenStatus::Ok) {
        FailInput(path + ": " + OpenFailureReasonFor(ArchivePathOf(path).c_str(), status));
    }
}

void ReadFrameOrFail(ImageUnpacker& unpacker, const std::string& path, uint32_t n,
                     std::vector<uint8_t>& frame) {
    const FrameStatus status = unpacker.TryReadFrame(n, frame);
    if (!status.Ok()) {
        FailInput(path + ": " + FrameFailureReason(n, status));
    }
}

#pragma once

// What the fuzz targets of pack's readers share: the limits they give the readers, and a sink
// that checks every frame the way the archive writer relies on.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "pack_inputs.h"
#include "tool_error.h"

namespace pack_fuzz {

// Small enough that a canvas and its grey copy stay far below the fuzzer's memory limit; the
// readers check this limit before they allocate, exactly as they check the real one.
constexpr uint64_t kMaxPixels = uint64_t{1} << 16;
// Frames decoded from one input: enough for every disposal and delay, few enough that an
// input of many tiny frames does not look like a hang.
constexpr uint64_t kMostFrames = 32;

struct EnoughFrames {};

class CheckingSink : public FrameSink {
  public:
    void Add(GreyPicture picture, uint32_t showings, const std::string&) override {
        const uint64_t pixels = uint64_t{picture.width} * picture.height;
        if (pixels == 0 || picture.pixels.size() != pixels || showings == 0) std::abort();
        if (frames > 0 && (picture.width != width || picture.height != height)) std::abort();
        width = picture.width;
        height = picture.height;
        if (++frames >= kMostFrames) throw EnoughFrames{};
    }

  private:
    uint64_t frames = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// A refusal is one line that says what is wrong, with the status of a bad input.
inline void CheckRefusal(const ToolError& error) {
    if (error.exitCode != kExitBadInput || error.message.empty() ||
        error.message.find('\n') != std::string::npos) {
        std::abort();
    }
}

template <typename Read>
void ReadOrRefuse(Read read) {
    try {
        read();
    } catch (const ToolError& error) {
        CheckRefusal(error);
    } catch (const EnoughFrames&) {
    }
}

}  // namespace pack_fuzz

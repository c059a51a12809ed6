#pragma once

#include <cstdint>
#include <string>

#include "pack_inputs.h"
#include "picture_io.h"

// The portable half of reading videos through a platform decoder: the luma plane out of a
// decoded buffer, and sample times turned into the player's frames.

// How a decoder lays out a frame: NV12 (a Y plane, then interleaved chroma at half height) or
// YUY2 (Y U Y V, two bytes a pixel).
enum class LumaLayout { Nv12, Yuy2 };

// A decoded buffer: `firstRow` is the top row and each next row lies `pitch` bytes further
// (negative for bottom-up buffers).
struct DecodedBuffer {
    const uint8_t* firstRow = nullptr;
    int64_t pitch = 0;
    LumaLayout layout = LumaLayout::Nv12;
};

// The row pitch of a contiguous buffer of `length` bytes that holds one width × height frame,
// for decoders that tell no stride; 0 when the length fits no pitch of at least the width.
int64_t PitchFromLength(uint64_t length, uint32_t width, uint32_t height, LumaLayout layout);

// The bytes a buffer must hold from its first row for the luma of `height` rows of `pitch`.
uint64_t LumaBytesNeeded(int64_t pitch, uint32_t width, uint32_t height, LumaLayout layout);

// The luma of the rectangle at (left, top) of `width` × `height`, limited-range luma (16 black,
// 235 white) stretched to 0-255 as YUV4MPEG2 streams are.
GreyPicture LumaOf(const DecodedBuffer& buffer, uint32_t left, uint32_t top, uint32_t width,
                   uint32_t height, bool limitedRange);

// Turns decoded frames with their sample times (in 100 ns units) into the player's frames, sized
// by the rule, through the player's rate converter. Each player frame shows the source frame on
// screen at its middle, as ffmpeg's fps filter chooses, so that a video packs the same with
// ffmpeg or without it. Times count from the first frame: some decoders start them late.
// The picture turned clockwise by `degrees` (0, 90, 180 or 270; others leave it as it is): how
// ffmpeg shows a video whose stream says it is to be turned so (a phone held upright), and what
// Media Foundation's MF_MT_VIDEO_ROTATION asks for.
GreyPicture RotateClockwise(const GreyPicture& picture, uint32_t degrees);

class SampleTimeline {
  public:
    SampleTimeline(const SizeRule& rule, FrameSink& sink, std::string name);

    void Add(GreyPicture picture, int64_t time);
    // Sends the last frame, which lasts `lastDuration`: the number of source frames.
    uint64_t Finish(int64_t lastDuration);

  private:
    void Send(int64_t endTime);
    uint64_t Boundary(int64_t time) const;

    SizeRule rule;
    FrameSink& sink;
    std::string name;
    RateConverter rate;
    GreyPicture pending;
    int64_t firstTime = 0;
    int64_t pendingTime = 0;
    uint64_t sentBoundary = 0;
    uint64_t frames = 0;
};

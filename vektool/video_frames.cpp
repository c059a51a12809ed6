#include "video_frames.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The timeline's unit: 100 ns sample times and a player frame both count in whole units.
constexpr uint64_t kUnitsPerSecond = 600'000'000;
constexpr int64_t kUnitsPerSampleTick = kUnitsPerSecond / 10'000'000;
constexpr int64_t kHalfPlayerFrame = kUnitsPerSecond / kPlayerRate / 2;
// Sample times come rounded to 100 ns, so a frame that starts exactly at a player frame's middle
// may seem a hair early; ffmpeg, with the container's exact times, keeps the earlier frame.
constexpr int64_t kRoundingAllowance = kUnitsPerSampleTick;

uint64_t RowBytes(uint32_t width, LumaLayout layout) {
    return layout == LumaLayout::Yuy2 ? 2 * uint64_t{width} : width;
}

uint64_t TotalRows(uint64_t height, LumaLayout layout) {
    return layout == LumaLayout::Nv12 ? height + (height + 1) / 2 : height;
}

}  // namespace

int64_t PitchFromLength(uint64_t length, uint32_t width, uint32_t height, LumaLayout layout) {
    if (width == 0 || height == 0) return 0;
    // Some decoders also pad the height to whole macroblocks.
    const uint64_t heights[] = {height, (height + 15) / 16 * 16, (height + 31) / 32 * 32};
    for (const uint64_t rows : heights) {
        const uint64_t total = TotalRows(rows, layout);
        if (length % total != 0) continue;
        const uint64_t pitch = length / total;
        if (pitch >= RowBytes(width, layout) && pitch <= INT32_MAX) return int64_t(pitch);
    }
    return 0;
}

uint64_t LumaBytesNeeded(int64_t pitch, uint32_t width, uint32_t height, LumaLayout layout) {
    if (height == 0) return 0;
    return uint64_t(std::llabs(pitch)) * (height - 1) + RowBytes(width, layout);
}

GreyPicture LumaOf(const DecodedBuffer& buffer, uint32_t left, uint32_t top, uint32_t width,
                   uint32_t height, bool limitedRange) {
    GreyPicture picture{width, height, std::vector<uint8_t>(size_t{width} * height)};
    const size_t step = buffer.layout == LumaLayout::Yuy2 ? 2 : 1;
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* source = buffer.firstRow + int64_t(top + row) * buffer.pitch + left * step;
        uint8_t* target = picture.pixels.data() + size_t{row} * width;
        if (step == 1) {
            std::copy(source, source + width, target);
        } else {
            for (uint32_t x = 0; x < width; ++x) target[x] = source[2 * x];
        }
    }
    if (limitedRange) StretchLimitedRange(picture.pixels);
    return picture;
}

SampleTimeline::SampleTimeline(const SizeRule& rule, FrameSink& sink, std::string name)
    : rule(rule), sink(sink), name(std::move(name)), rate(kUnitsPerSecond) {}

uint64_t SampleTimeline::Boundary(int64_t time) const {
    // Shifting every start back by half a player frame makes the converter, which shows the
    // frame on screen at a player frame's start, show the one at its middle.
    const int64_t shifted =
        (time - firstTime) * kUnitsPerSampleTick - kHalfPlayerFrame + kRoundingAllowance;
    return uint64_t(std::max<int64_t>(shifted, 0));
}

void SampleTimeline::Send(int64_t endTime) {
    const uint64_t end = std::max(Boundary(endTime), sentBoundary);
    const uint32_t showings = rate.Next(end - sentBoundary);
    sentBoundary = end;
    if (showings == 0) return;
    sink.Add(SizedPicture(std::move(pending), rule, true), showings,
             "frame " + std::to_string(frames - 1) + " of " + name);
}

void SampleTimeline::Add(GreyPicture picture, int64_t time) {
    if (frames == 0) {
        firstTime = time;
    } else {
        Send(time);
    }
    pending = std::move(picture);
    pendingTime = time;
    ++frames;
}

uint64_t SampleTimeline::Finish(int64_t lastDuration) {
    if (frames > 0) Send(pendingTime + std::max<int64_t>(lastDuration, 0));
    return frames;
}

GreyPicture RotateClockwise(const GreyPicture& picture, uint32_t degrees) {
    if (degrees != 90 && degrees != 180 && degrees != 270) return picture;
    const uint32_t w = picture.width, h = picture.height;
    const bool quarter = degrees != 180;
    GreyPicture turned{quarter ? h : w, quarter ? w : h,
                       std::vector<uint8_t>(picture.pixels.size())};
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            // Where source pixel (x, y) lands in the turned picture.
            uint32_t tx = x, ty = y;
            if (degrees == 90) tx = h - 1 - y, ty = x;
            if (degrees == 180) tx = w - 1 - x, ty = h - 1 - y;
            if (degrees == 270) tx = y, ty = w - 1 - x;
            turned.pixels[size_t(ty) * turned.width + tx] = picture.pixels[size_t(y) * w + x];
        }
    }
    return turned;
}

#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "input_stream.h"
#include "picture_io.h"

// What `vektool pack` reads: pictures, GIFs, YUV4MPEG2 streams and, through ffmpeg, videos;
// each turned into frames of the player's rate and of the size the options choose.

inline constexpr uint32_t kPlayerRate = 30;  // frames a second

// Videos and GIFs larger than this are scaled down by default: the format stores every frame
// on its own, so an archive's size follows the frame size.
inline constexpr uint32_t kDefaultFitWidth = 640;
inline constexpr uint32_t kDefaultFitHeight = 480;

struct SizeRule {
    enum Kind { FitVideos, Exact, Source };
    Kind kind = FitVideos;
    uint32_t width = 0;  // for Exact
    uint32_t height = 0;
};

// The size of a video or GIF frame under the default rule: within 640x480 with the same
// aspect and even sides when larger, else its own.
std::pair<uint32_t, uint32_t> DefaultVideoSize(uint32_t width, uint32_t height);

// Counts how many of the player's frames show each source frame. A player frame shows the
// source frame whose time holds the player frame's start; time is summed exactly in ticks, so
// no rounding builds up over a long source.
class RateConverter {
  public:
    explicit RateConverter(uint64_t ticksPerSecond) : ticksPerSecond(ticksPerSecond) {}

    // The player frames of the next source frame, which lasts `ticks`; 0 drops it.
    uint32_t Next(uint64_t ticks);

  private:
    uint64_t PlayerFramesBefore(uint64_t time) const;

    uint64_t ticksPerSecond;
    uint64_t elapsed = 0;
};

// Where the frames of the inputs go, each with the number of player frames that show it.
class FrameSink {
  public:
    virtual ~FrameSink() = default;
    virtual void Add(GreyPicture picture, uint32_t showings, const std::string& source) = 0;
};

enum class InputKind { Picture, Gif, Y4m, Video };

// Tells the kinds apart by the first bytes of the input, which stay in it to be read, and a
// YUV4MPEG2 file by its .y4m name too; what is none of them goes to ffmpeg.
InputKind KindOfInput(InputStream& input, const std::string& name);

// The picture at the size the rule gives it; `video` for frames of videos and GIFs.
GreyPicture SizedPicture(GreyPicture picture, const SizeRule& rule, bool video);

// Each reader returns the number of source frames it read. Sizes beyond `maxPixels` fail with
// one line before anything is allocated for them.
uint64_t ReadGif(std::span<const uint8_t> bytes, const std::string& name, const SizeRule& rule,
                 FrameSink& sink, uint64_t maxPixels = kMaxPicturePixels);
uint64_t ReadY4mStream(InputStream& input, const std::string& name, const SizeRule& rule,
                       FrameSink& sink, uint64_t maxPixels = kMaxPicturePixels);
uint64_t ReadVideoFile(const std::string& path, const SizeRule& rule, FrameSink& sink);
// The same for a copy at `path` of the input that messages call `name`.
uint64_t ReadVideoFile(const std::string& path, const std::string& name, const SizeRule& rule,
                       FrameSink& sink);

// The ffmpeg command that turns the first video stream of a file into full-range grey
// YUV4MPEG2 at the player's rate on its standard output.
std::vector<std::string> FfmpegReadCommand(const std::string& path, const SizeRule& rule);

// What vektool says when ffmpeg is missing.
extern const char* const kInstallFfmpeg;

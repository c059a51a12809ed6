#include "pack_inputs.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "child_process.h"
#include "gif_decoder.h"
#include "system_video_reader.h"
#include "tool_error.h"

std::pair<uint32_t, uint32_t> DefaultVideoSize(uint32_t width, uint32_t height) {
    if (width <= kDefaultFitWidth && height <= kDefaultFitHeight) return {width, height};
    const double scale =
        std::min(double(kDefaultFitWidth) / width, double(kDefaultFitHeight) / height);
    const auto even = [&](uint32_t side) {
        return std::max<uint32_t>(2, 2 * static_cast<uint32_t>(std::round(side * scale / 2)));
    };
    return {even(width), even(height)};
}

uint64_t RateConverter::PlayerFramesBefore(uint64_t time) const {
    // ceil(time × 30 / ticksPerSecond), without overflow for any 64-bit time.
    const unsigned __int128 scaled = static_cast<unsigned __int128>(time) * kPlayerRate;
    return static_cast<uint64_t>((scaled + ticksPerSecond - 1) / ticksPerSecond);
}

uint32_t RateConverter::Next(uint64_t ticks) {
    const uint64_t before = PlayerFramesBefore(elapsed);
    elapsed += ticks;
    return static_cast<uint32_t>(PlayerFramesBefore(elapsed) - before);
}

InputKind KindOfInput(InputStream& input, const std::string& name) {
    const std::span<const uint8_t> head = input.Peek(16);
    const std::string start(head.begin(), head.end());
    if (PictureKindOf(head, name) != PictureKind::None) return InputKind::Picture;
    if (start.rfind("GIF87a", 0) == 0 || start.rfind("GIF89a", 0) == 0) return InputKind::Gif;
    const bool y4mName = name.size() > 4 && name.compare(name.size() - 4, 4, ".y4m") == 0;
    if (start.rfind("YUV4MPEG2", 0) == 0 || y4mName) return InputKind::Y4m;
    return InputKind::Video;
}

GreyPicture SizedPicture(GreyPicture picture, const SizeRule& rule, bool video) {
    if (rule.kind == SizeRule::Exact) return ResizePicture(picture, rule.width, rule.height);
    if (rule.kind == SizeRule::FitVideos && video) {
        const auto [width, height] = DefaultVideoSize(picture.width, picture.height);
        return ResizePicture(picture, width, height);
    }
    return picture;
}

namespace {

std::string FrameLabel(uint64_t n, const std::string& name) {
    return "frame " + std::to_string(n) + " of " + name;
}

}  // namespace

uint64_t ReadGif(std::span<const uint8_t> bytes, const std::string& name, const SizeRule& rule,
                 FrameSink& sink, uint64_t maxPixels) {
    GifDecoder gif(bytes, name, maxPixels);
    RateConverter rate(1000);
    GreyPicture picture;
    uint32_t delayMs = 0;
    uint64_t n = 0;
    for (; gif.Next(picture, delayMs); ++n) {
        const uint32_t showings = rate.Next(delayMs);
        if (showings == 0) continue;
        sink.Add(SizedPicture(std::move(picture), rule, true), showings, FrameLabel(n, name));
    }
    if (n == 0) FailInput(name + ": the GIF holds no frames");
    return n;
}

uint64_t ReadY4mStream(InputStream& input, const std::string& name, const SizeRule& rule,
                       FrameSink& sink, uint64_t maxPixels) {
    Y4mReader reader(input, name, maxPixels);
    RateConverter rate(reader.RateNumerator());
    GreyPicture picture;
    uint64_t n = 0;
    for (; reader.Next(picture); ++n) {
        const uint32_t showings = rate.Next(reader.RateDenominator());
        if (showings == 0) continue;
        sink.Add(SizedPicture(std::move(picture), rule, true), showings, FrameLabel(n, name));
    }
    return n;
}

std::vector<std::string> FfmpegReadCommand(const std::string& path, const SizeRule& rule) {
    std::string filters = "fps=" + std::to_string(kPlayerRate);
    if (rule.kind == SizeRule::Exact) {
        filters += ",scale=" + std::to_string(rule.width) + ":" + std::to_string(rule.height) +
                   ":flags=area";
    } else if (rule.kind == SizeRule::FitVideos) {
        // DefaultVideoSize as ffmpeg's expressions, so that ffmpeg scales only once.
        const std::string w = std::to_string(kDefaultFitWidth);
        const std::string h = std::to_string(kDefaultFitHeight);
        const std::string larger = "gt(iw," + w + ")+gt(ih," + h + ")";
        const std::string scale = "min(" + w + "/iw," + h + "/ih)";
        const auto side = [&](const std::string& own) {
            return "'if(" + larger + ",max(2,2*round(" + own + "*" + scale + "/2))," + own + ")'";
        };
        filters += ",scale=w=" + side("iw") + ":h=" + side("ih") + ":flags=area";
    }
    // ffmpeg's grey is limited or full range depending on its version unless told.
    filters += rule.kind == SizeRule::Source ? ",scale=out_range=full" : ":out_range=full";
    filters += ",format=gray";
    // The first video stream only: not the cover picture of a sound file, nor a second angle.
    return {"ffmpeg", "-nostdin",     "-hide_banner", "-loglevel", "error",
            "-i",     "file:" + path, "-map",         "0:V:0",     "-vf",
            filters,  "-f",           "yuv4mpegpipe", "-"};
}

uint64_t ReadVideoFile(const std::string& path, const SizeRule& rule, FrameSink& sink) {
    return ReadVideoFile(path, path, rule, sink);
}

uint64_t ReadVideoFile(const std::string& path, const std::string& name, const SizeRule& rule,
                       FrameSink& sink) {
    if (UseSystemVideoReader()) return ReadVideoWithSystemReader(path, rule, sink);
    ChildProcess ffmpeg(FfmpegReadCommand(path, rule), false, kInstallFfmpeg);
    const auto failIfFfmpegFailed = [&] {
        if (ffmpeg.Finish() != 0) {
            const std::string said = ffmpeg.LastErrorLine();
            // ffmpeg's words when -map finds nothing; the same since ffmpeg 2.
            if (ffmpeg.ErrorOutput().find("matches no streams") != std::string::npos) {
                FailInput(name + ": holds no video stream (sound, subtitles or data only)");
            }
            FailInput("ffmpeg cannot read " + name + ": " +
                      (said.empty() ? "it failed without a message" : said));
        }
    };
    uint64_t frames = 0;
    try {
        InputStream stream(ffmpeg.Stream());
        frames = ReadY4mStream(stream, name, rule, sink);
    } catch (const ToolError&) {
        // A stream that ended early is ffmpeg's failure, told in its own words.
        if (std::feof(ffmpeg.Stream())) failIfFfmpegFailed();
        throw;
    }
    failIfFfmpegFailed();
    if (frames == 0) FailInput(name + ": the video holds no frames");
    return frames;
}

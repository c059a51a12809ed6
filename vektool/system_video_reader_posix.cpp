#include "system_video_reader.h"
#include "tool_error.h"

const char* const kInstallFfmpeg =
    "vektool needs ffmpeg for videos: install it (Debian: apt-get install ffmpeg) or convert "
    "the video to a GIF or YUV4MPEG2 first";

bool UseSystemVideoReader() {
    return false;
}

uint64_t ReadVideoWithSystemReader(const std::string& path, const SizeRule&, FrameSink&) {
    FailInput(path + ": this system has no video decoders of its own; vektool needs ffmpeg");
}

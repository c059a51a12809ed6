// vektool preview: the whole animation as the overlay shows it over a mid-grey desktop, as a
// video that ffmpeg encodes, because people would rather watch it than read about it.

#include <cstdio>
#include <string>
#include <vector>

#include "child_process.h"
#include "command_line.h"
#include "commands.h"
#include "file_names.h"
#include "overlay_view.h"
#include "pack_inputs.h"
#include "progress.h"
#include "tool_error.h"

namespace {

constexpr const char* kUsage =
    "usage: vektool preview ARCHIVE -o OUT.mp4|OUT.webm|OUT.gif [--desktop WxH+X+Y,...] "
    "[--mode whole|each|chosen:K] [--shadow S] [--background B]";

struct PreviewOptions {
    std::string archive;
    std::string output;
    OverlayView view;
};

// ffmpeg's container and encoder options for the output's extension.
std::vector<std::string> EncoderArguments(const std::string& output) {
    const size_t dot = output.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : output.substr(dot);
    // 4:2:0 video needs even sides: an odd window gets one grey row or column more.
    const std::string even = "pad=ceil(iw/2)*2:ceil(ih/2)*2:color=0x808080";
    if (extension == ".mp4") {
        return {"-vf",      even,      "-c:v",      "libx264",    "-preset", "veryfast",
                "-pix_fmt", "yuv420p", "-movflags", "+faststart", "-f",      "mp4"};
    }
    if (extension == ".webm") {
        return {"-vf",  even, "-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8",
                "-b:v", "0",  "-crf", "36",         "-pix_fmt",  "yuv420p",  "-f",        "webm"};
    }
    if (extension == ".gif") {
        // A palette made from the animation itself: the fixed 3-3-2 one bands the greys.
        return {"-vf", "split[a][b];[a]palettegen[p];[b][p]paletteuse", "-f", "gif"};
    }
    FailUsage("preview: OUT must end in .mp4, .webm or .gif, not '" + output + "'");
}

PreviewOptions ParseOptions(int argc, char** argv) {
    PreviewOptions options;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) FailUsage("preview: " + arg + " needs a value; " + kUsage);
            return argv[++i];
        };
        if (ParseOverlayOption("preview", arg, value, options.view)) continue;
        if (arg == "-o") {
            options.output = value();
        } else if (arg.size() > 1 && arg[0] == '-') {
            FailUsage("preview: unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 1 || options.output.empty()) FailUsage(kUsage);
    options.archive = positional[0];
    CheckOverlayView("preview", options.view);
    EncoderArguments(options.output);
    return options;
}

std::vector<std::string> FfmpegEncodeCommand(const std::string& output, int32_t width,
                                             int32_t height) {
    std::vector<std::string> command = {"ffmpeg",
                                        "-hide_banner",
                                        "-loglevel",
                                        "error",
                                        "-y",
                                        "-f",
                                        "rawvideo",
                                        "-pix_fmt",
                                        "rgb24",
                                        "-s",
                                        std::to_string(width) + "x" + std::to_string(height),
                                        "-r",
                                        std::to_string(kPlayerRate),
                                        "-i",
                                        "-"};
    const std::vector<std::string> encoder = EncoderArguments(output);
    command.insert(command.end(), encoder.begin(), encoder.end());
    command.push_back("file:" + output);
    return command;
}

// Feeds every frame to ffmpeg; false when ffmpeg stopped taking them.
bool FeedFrames(ImageUnpacker& unpacker, const std::string& archive, OverlayPainter& painter,
                std::FILE* ffmpeg) {
    ProgressLine progress("vektool: preview");
    std::vector<uint8_t> frame;
    for (uint32_t n = 0; n < unpacker.FrameCount(); ++n) {
        ReadFrameOrFail(unpacker, archive, n, frame);
        const std::vector<uint8_t> rgb = OverDesktop(painter.Paint(frame.data()));
        if (std::fwrite(rgb.data(), 1, rgb.size(), ffmpeg) != rgb.size()) return false;
        progress.Update(n + 1);
    }
    return std::fflush(ffmpeg) == 0;
}

}  // namespace

int PreviewCommand(int argc, char** argv) {
    const PreviewOptions options = ParseOptions(argc, argv);
    ImageUnpacker unpacker;
    OpenArchiveOrFail(unpacker, options.archive);
    OverlayPainter painter("preview", options.view, static_cast<int32_t>(unpacker.Width()),
                           static_cast<int32_t>(unpacker.Height()));

    ChildProcess ffmpeg(
        FfmpegEncodeCommand(options.output, painter.WindowWidth(), painter.WindowHeight()), true,
        kInstallFfmpeg);
    const bool fed = FeedFrames(unpacker, options.archive, painter, ffmpeg.Stream());
    if (ffmpeg.Finish() != 0 || !fed) {
        RemoveFile(options.output);
        const std::string said = ffmpeg.LastErrorLine();
        FailInput("ffmpeg cannot write " + options.output + ": " +
                  (said.empty() ? "it stopped taking frames" : said));
    }
    char figures[120];
    std::snprintf(figures, sizeof figures, "%u frames of %dx%d at %u frames a second\n",
                  unpacker.FrameCount(), painter.WindowWidth(), painter.WindowHeight(),
                  kPlayerRate);
    PrintText(stderr, "vektool: preview: " + options.output + ": " + figures);
    return 0;
}

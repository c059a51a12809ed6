#include <cstdio>
#include <string>

#include "archive_writer.h"
#include "command_line.h"
#include "commands.h"
#include "demo_animation.h"
#include "progress.h"
#include "tool_error.h"

namespace {

constexpr const char* kUsage = "usage: vektool demo -o ARCHIVE [--size WxH] [--frames N]";

}  // namespace

int DemoCommand(int argc, char** argv) {
    std::string output;
    uint32_t width = 480, height = 360, frames = 360;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "-o" || arg == "--size" || arg == "--frames") && i + 1 >= argc) {
            FailUsage(kUsage);
        }
        if (arg == "-o") {
            output = argv[++i];
        } else if (arg == "--size") {
            ParseSize(argv[++i], "--size", width, height);
        } else if (arg == "--frames") {
            frames = ParseNumber(argv[++i], 1, 100000, "--frames");
        } else {
            FailUsage(kUsage);
        }
    }
    if (output.empty()) FailUsage(kUsage);

    ArchiveBuilder builder(width, height, PackOptions{6, true});
    ProgressLine progress("vektool: demo");
    for (uint32_t n = 0; n < frames; ++n) {
        builder.AddFrame(RenderDemoFrame(width, height, n, frames).pixels);
        progress.Update(n + 1);
    }
    progress.Finish();
    WriteFileReplacing(output, builder.Serialize());
    return 0;
}

#include <cstdio>
#include <string>

#include "archive/archive_failure.h"
#include "command_line.h"
#include "commands.h"
#include "file_names.h"
#include "tool_error.h"

// Decodes every frame as the player would, but lists the failures instead of ending.
int CheckCommand(int argc, char** argv) {
    if (argc != 2) FailUsage("usage: vektool check ARCHIVE");
    const std::string path = argv[1];
    ImageUnpacker unpacker;
    OpenArchiveOrFail(unpacker, path);

    uint32_t bad = 0;
    std::vector<uint8_t> frame;
    for (uint32_t n = 0; n < unpacker.FrameCount(); ++n) {
        const FrameStatus status = unpacker.TryReadFrame(n, frame);
        if (!status.Ok()) {
            std::printf("frame %u: %s\n", n, DescribeFrameStatus(status).c_str());
            ++bad;
        }
    }
    if (unpacker.FrameCount() == 0) FailInput(path + ": " + kNoFramesReason);
    if (bad > 0) {
        FailInput(path + ": " + std::to_string(bad) + " of " +
                  std::to_string(unpacker.FrameCount()) + " frames cannot be decoded");
    }
    char figures[80];
    std::snprintf(figures, sizeof figures, "all %u frames decode (%ux%u)\n", unpacker.FrameCount(),
                  unpacker.Width(), unpacker.Height());
    PrintText(stdout, path + ": " + figures);
    return 0;
}

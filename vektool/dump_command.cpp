#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "file_names.h"
#include "picture_io.h"
#include "platform_tools.h"
#include "tool_error.h"

int DumpCommand(int argc, char** argv) {
    const std::string usage = "usage: vektool dump ARCHIVE N [-o FILE]";
    std::vector<std::string> positional;
    std::string outputPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-o") {
            if (i + 1 >= argc) FailUsage(usage);
            outputPath = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            FailUsage("dump: unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) FailUsage(usage);
    const std::string& archive = positional[0];
    const std::string& frameText = positional[1];
    const uint32_t n = ParseNumber(frameText, 0, UINT32_MAX, "frame number");

    ImageUnpacker unpacker;
    OpenArchiveOrFail(unpacker, archive);
    std::vector<uint8_t> frame;
    ReadFrameOrFail(unpacker, archive, n, frame);
    GreyPicture picture{unpacker.Width(), unpacker.Height(), {}};
    picture.pixels = FlipRows(frame, picture.width, picture.height);
    const std::vector<uint8_t> pgm = EncodePgm(picture);

    if (outputPath.empty()) {
        UseBinaryStandardStreams();
        WriteWholeFile(stdout, pgm, "standard output");
        return 0;
    }
    std::FILE* out = OpenFile(outputPath, "wb");
    if (out == nullptr) FailInput(outputPath + ": cannot create");
    const bool written = std::fwrite(pgm.data(), 1, pgm.size(), out) == pgm.size();
    if (std::fclose(out) != 0 || !written) FailInput(outputPath + ": write error");
    return 0;
}

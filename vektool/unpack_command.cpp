// vektool unpack: every frame of an archive as a PNG file, for looking at or editing.

// File names in UTF-8, opened with the wide calls on Windows.
#define STBIW_WINDOWS_UTF8
#include <stb_image_write.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "file_names.h"
#include "picture_io.h"
#include "progress.h"
#include "tool_error.h"

namespace {

constexpr const char* kUsage = "usage: vektool unpack ARCHIVE DIR";

std::string FrameFileName(uint32_t n) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%05u.png", n);
    return name;
}

}  // namespace

int UnpackCommand(int argc, char** argv) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.size() > 1 && arg[0] == '-') FailUsage("unpack: unknown option " + arg);
        positional.push_back(arg);
    }
    if (positional.size() != 2) FailUsage(kUsage);
    const std::string& archive = positional[0];
    const std::filesystem::path directory = PathOf(positional[1]);

    ImageUnpacker unpacker;
    OpenArchiveOrFail(unpacker, archive);
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) FailInput(positional[1] + ": cannot create: " + error.message());

    const uint32_t width = unpacker.Width(), height = unpacker.Height();
    ProgressLine progress("vektool: unpack");
    std::vector<uint8_t> frame;
    for (uint32_t n = 0; n < unpacker.FrameCount(); ++n) {
        ReadFrameOrFail(unpacker, archive, n, frame);
        const std::vector<uint8_t> topDown = FlipRows(frame, width, height);
        const std::string path = Utf8Of(directory / FrameFileName(n));
        if (stbi_write_png(path.c_str(), int(width), int(height), 1, topDown.data(), int(width)) ==
            0) {
            FailInput(path + ": cannot write");
        }
        progress.Update(n + 1);
    }
    progress.Finish();
    PrintText(stderr, "vektool: unpack: " + std::to_string(unpacker.FrameCount()) +
                          " frames into " + positional[1] + "\n");
    return 0;
}

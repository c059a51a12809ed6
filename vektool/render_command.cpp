// vektool render: one frame of an archive as the overlay would show it, through the software
// renderer, for a desktop described on the command line.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
// unpack names its files in UTF-8; on Windows stb then opens them with the wide call.
#define STBIW_WINDOWS_UTF8
#include <stb_image_write.h>

#include "command_line.h"
#include "commands.h"
#include "file_names.h"
#include "overlay_view.h"
#include "tool_error.h"

namespace {

constexpr const char* kUsage =
    "usage: vektool render ARCHIVE N -o OUT [--desktop WxH+X+Y,...] "
    "[--mode whole|each|chosen:K] [--shadow S] [--background B] [--raw]";

struct RenderOptions {
    std::string archive;
    uint32_t frame = 0;
    std::string output;
    OverlayView view;
    bool raw = false;
};

RenderOptions ParseOptions(int argc, char** argv) {
    RenderOptions options;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                FailUsage("render: " + arg + " needs a value\n" + kUsage);
            }
            return argv[++i];
        };
        if (ParseOverlayOption("render", arg, value, options.view)) continue;
        if (arg == "-o") {
            options.output = value();
        } else if (arg == "--raw") {
            options.raw = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            FailUsage("render: unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2 || options.output.empty()) {
        FailUsage(kUsage);
    }
    options.archive = positional[0];
    options.frame = ParseNumber(positional[1], 0, UINT32_MAX, "render: frame number");
    const bool png = options.output.size() >= 4 &&
                     options.output.compare(options.output.size() - 4, 4, ".png") == 0;
    if (!options.raw && !png) {
        FailUsage("render: OUT must end in .png, or give --raw for the picture's own pixels");
    }
    CheckOverlayView("render", options.view);
    return options;
}

// The picture's words as the picture surface holds them: B, G, R, A bytes, rows top first.
std::vector<uint8_t> RawBytes(const std::vector<uint32_t>& pixels) {
    std::vector<uint8_t> bytes(pixels.size() * 4);
    for (size_t i = 0; i < pixels.size(); ++i) {
        for (int k = 0; k < 4; ++k) {
            bytes[i * 4 + k] = static_cast<uint8_t>(pixels[i] >> (8 * k));
        }
    }
    return bytes;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* out = OpenFile(path, "wb");
    if (out == nullptr) {
        FailInput(path + ": cannot create");
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !written) {
        FailInput(path + ": write error");
    }
}

void AppendToVector(void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<uint8_t>*>(context);
    const auto* begin = static_cast<const uint8_t*>(data);
    bytes->insert(bytes->end(), begin, begin + size);
}

}  // namespace

int RenderCommand(int argc, char** argv) {
    const RenderOptions options = ParseOptions(argc, argv);

    ImageUnpacker unpacker;
    OpenArchiveOrFail(unpacker, options.archive);
    std::vector<uint8_t> frame;
    ReadFrameOrFail(unpacker, options.archive, options.frame, frame);
    OverlayPainter painter("render", options.view, static_cast<int32_t>(unpacker.Width()),
                           static_cast<int32_t>(unpacker.Height()));
    const std::vector<uint32_t>& pixels = painter.Paint(frame.data());

    if (options.raw) {
        WriteBytes(options.output, RawBytes(pixels));
        return 0;
    }
    std::vector<uint8_t> png;
    const std::vector<uint8_t> rgb = OverDesktop(pixels);
    if (stbi_write_png_to_func(AppendToVector, &png, painter.WindowWidth(), painter.WindowHeight(),
                               3, rgb.data(), painter.WindowWidth() * 3) == 0) {
        FailInput(options.output + ": the picture could not be encoded");
    }
    WriteBytes(options.output, png);
    return 0;
}

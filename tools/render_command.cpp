// vektool render: one frame of an archive as the overlay would show it, through the software
// renderer, for a desktop described on the command line.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "command_line.h"
#include "commands.h"
#include "render/overlay_layout.h"
#include "render/software_renderer.h"
#include "settings/monitor_list.h"
#include "settings/playback_settings.h"
#include "tool_error.h"

namespace {

constexpr const char* kUsage =
    "usage: vektool render ARCHIVE N -o OUT [--desktop WxH+X+Y,...] "
    "[--mode whole|each|chosen:K] [--shadow S] [--background B] [--raw]";

// The grey that a PNG shows through the overlay's transparent parts.
constexpr uint32_t kDesktopGrey = 128;

// Larger windows than any render target could hold are refused rather than allocated.
constexpr int32_t kLargestWindow = 16384;

struct RenderOptions {
    std::string archive;
    uint32_t frame = 0;
    std::string output;
    std::vector<MonitorRect> monitors{{0, 0, 1920, 1080}};  // the first is the primary
    int32_t displayMode = EachMonitor;
    int32_t monitorIndex = 0;
    uint8_t shadow = 255;
    uint8_t background = 0;
    bool raw = false;
};

// A signed decimal number of at most 7 digits at text[at], advancing `at`.
bool ReadNumber(const std::string& text, size_t& at, bool allowSign, int32_t& value) {
    bool negative = false;
    if (allowSign && at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    const size_t start = at;
    int32_t number = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 7) {
        number = number * 10 + (text[at] - '0');
        ++at;
    }
    if (at == start || (at < text.size() && text[at] >= '0' && text[at] <= '9')) {
        return false;
    }
    value = negative ? -number : number;
    return true;
}

// "1920x1080+0+0,1280x1024-1280+0": monitor rectangles in virtual-desktop coordinates.
std::vector<MonitorRect> ParseDesktop(const std::string& text) {
    std::vector<MonitorRect> monitors;
    size_t at = 0;
    while (true) {
        int32_t width = 0, height = 0, x = 0, y = 0;
        const bool ok = ReadNumber(text, at, false, width) && at < text.size() &&
                        text[at++] == 'x' && ReadNumber(text, at, false, height) &&
                        at < text.size() && (text[at] == '+' || text[at] == '-') &&
                        ReadNumber(text, at, true, x) && at < text.size() &&
                        (text[at] == '+' || text[at] == '-') && ReadNumber(text, at, true, y);
        if (!ok || width <= 0 || height <= 0) {
            FailUsage(
                "render: --desktop wants monitors like 1920x1080+0+0,1280x1024-1280+0, not '" +
                text + "'");
        }
        monitors.push_back({x, y, x + width, y + height});
        if (at == text.size()) {
            return monitors;
        }
        if (text[at++] != ',') {
            FailUsage("render: --desktop: monitors are separated by commas, in '" + text + "'");
        }
    }
}

void ParseMode(const std::string& text, RenderOptions& options) {
    if (text == "whole") {
        options.displayMode = WholeDesktop;
    } else if (text == "each") {
        options.displayMode = EachMonitor;
    } else if (text.rfind("chosen:", 0) == 0) {
        options.displayMode = ChosenMonitor;
        options.monitorIndex =
            static_cast<int32_t>(ParseNumber(text.substr(7), 0, 1000, "render: --mode chosen:K"));
    } else {
        FailUsage("render: --mode is whole, each or chosen:K, not '" + text + "'");
    }
}

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
        if (arg == "-o") {
            options.output = value();
        } else if (arg == "--desktop") {
            options.monitors = ParseDesktop(value());
        } else if (arg == "--mode") {
            ParseMode(value(), options);
        } else if (arg == "--shadow") {
            options.shadow = static_cast<uint8_t>(ParseNumber(value(), 0, 255, "render: --shadow"));
        } else if (arg == "--background") {
            options.background =
                static_cast<uint8_t>(ParseNumber(value(), 0, 255, "render: --background"));
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
    if (options.displayMode == ChosenMonitor &&
        static_cast<size_t>(options.monitorIndex) >= options.monitors.size()) {
        FailUsage("render: --mode chosen:" + std::to_string(options.monitorIndex) +
                  " names no monitor of the desktop");
    }
    return options;
}

// The desktop's monitors as the player's display list: the first one is the primary.
std::vector<DisplayEntry> DisplaysOf(const std::vector<MonitorRect>& monitors) {
    std::vector<DisplayEntry> displays;
    for (const MonitorRect& m : monitors) {
        displays.push_back({m.left, m.top, m.right, m.bottom, displays.empty()});
    }
    return displays;
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

// The premultiplied picture laid over the grey desktop, as RGB bytes.
std::vector<uint8_t> OverDesktop(const std::vector<uint32_t>& pixels) {
    std::vector<uint8_t> rgb(pixels.size() * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const uint32_t uncovered = 255 - (pixels[i] >> 24);
        for (int k = 0; k < 3; ++k) {
            const uint32_t colour = (pixels[i] >> (16 - 8 * k)) & 0xFF;
            rgb[i * 3 + k] = static_cast<uint8_t>(
                std::min<uint32_t>(255, colour + (kDesktopGrey * uncovered + 127) / 255));
        }
    }
    return rgb;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
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
    const FrameStatus status = unpacker.TryReadFrame(options.frame, frame);
    if (!status.Ok()) {
        FailInput(options.archive + ": frame " + std::to_string(options.frame) + ": " +
                  DescribeFrameStatus(status));
    }
    const auto W = static_cast<int32_t>(unpacker.Width());
    const auto H = static_cast<int32_t>(unpacker.Height());

    PlaybackSettings settings;
    settings.displayMode = options.displayMode;
    settings.monitorIndex = options.monitorIndex;
    const std::vector<DisplayEntry> displays = DisplaysOf(options.monitors);
    const OverlayLayout layout = LayOutOverlay(settings, displays, BoundingScreen(displays), W, H);
    const int32_t windowWidth = layout.width;
    const int32_t windowHeight = layout.height;
    if (windowWidth > kLargestWindow || windowHeight > kLargestWindow) {
        FailUsage("render: a window of " + std::to_string(windowWidth) + " x " +
                  std::to_string(windowHeight) + " pixels is beyond " +
                  std::to_string(kLargestWindow) + " on a side");
    }

    std::vector<uint32_t> pixels(static_cast<size_t>(windowWidth) * windowHeight);
    SoftwareRenderer renderer(W, H, windowWidth, windowHeight, layout.placements);
    renderer.Render(frame.data(), options.shadow, options.background, pixels.data());

    if (options.raw) {
        WriteBytes(options.output, RawBytes(pixels));
        return 0;
    }
    std::vector<uint8_t> png;
    const std::vector<uint8_t> rgb = OverDesktop(pixels);
    if (stbi_write_png_to_func(AppendToVector, &png, windowWidth, windowHeight, 3, rgb.data(),
                               windowWidth * 3) == 0) {
        FailInput(options.output + ": the picture could not be encoded");
    }
    WriteBytes(options.output, png);
    return 0;
}

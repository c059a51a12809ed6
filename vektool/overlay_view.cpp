#include "overlay_view.h"

#include <algorithm>

#include "command_line.h"
#include "render/overlay_layout.h"
#include "tool_error.h"

namespace {

// Larger windows than any render target could hold are refused rather than allocated.
constexpr int32_t kLargestWindow = 16384;

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
std::vector<MonitorRect> ParseDesktop(const std::string& command, const std::string& text) {
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
            FailUsage(command +
                      ": --desktop wants monitors like 1920x1080+0+0,1280x1024-1280+0, not '" +
                      text + "'");
        }
        monitors.push_back({x, y, x + width, y + height});
        if (at == text.size()) {
            return monitors;
        }
        if (text[at++] != ',') {
            FailUsage(command + ": --desktop: monitors are separated by commas, in '" + text + "'");
        }
    }
}

void ParseMode(const std::string& command, const std::string& text, OverlayView& options) {
    if (text == "whole") {
        options.displayMode = WholeDesktop;
    } else if (text == "each") {
        options.displayMode = EachMonitor;
    } else if (text.rfind("chosen:", 0) == 0) {
        options.displayMode = ChosenMonitor;
        options.monitorIndex = static_cast<int32_t>(
            ParseNumber(text.substr(7), 0, 1000, command + ": --mode chosen:K"));
    } else {
        FailUsage(command + ": --mode is whole, each or chosen:K, not '" + text + "'");
    }
}

// The desktop's monitors as the player's display list: the first one is the primary.
std::vector<DisplayEntry> DisplaysOf(const std::vector<MonitorRect>& monitors) {
    std::vector<DisplayEntry> displays;
    for (const MonitorRect& m : monitors) {
        displays.push_back({m.left, m.top, m.right, m.bottom, displays.empty()});
    }
    return displays;
}

}  // namespace

bool ParseOverlayOption(const std::string& command, const std::string& arg,
                        const std::function<std::string()>& value, OverlayView& view) {
    if (arg == "--desktop") {
        view.monitors = ParseDesktop(command, value());
    } else if (arg == "--mode") {
        ParseMode(command, value(), view);
    } else if (arg == "--shadow") {
        view.shadow = static_cast<uint8_t>(ParseNumber(value(), 0, 255, command + ": --shadow"));
    } else if (arg == "--background") {
        view.background =
            static_cast<uint8_t>(ParseNumber(value(), 0, 255, command + ": --background"));
    } else {
        return false;
    }
    return true;
}

void CheckOverlayView(const std::string& command, const OverlayView& view) {
    if (view.displayMode == ChosenMonitor &&
        static_cast<size_t>(view.monitorIndex) >= view.monitors.size()) {
        FailUsage(command + ": --mode chosen:" + std::to_string(view.monitorIndex) +
                  " names no monitor of the desktop");
    }
}

OverlayPainter::OverlayPainter(const std::string& command, const OverlayView& view,
                               int32_t frameWidth, int32_t frameHeight)
    : view(view) {
    // The window and the placements exactly as the player lays itself out.
    PlaybackSettings settings;
    settings.displayMode = view.displayMode;
    settings.monitorIndex = view.monitorIndex;
    const std::vector<DisplayEntry> displays = DisplaysOf(view.monitors);
    const OverlayLayout layout =
        LayOutOverlay(settings, displays, BoundingScreen(displays), frameWidth, frameHeight);
    windowWidth = layout.width;
    windowHeight = layout.height;
    if (windowWidth > kLargestWindow || windowHeight > kLargestWindow) {
        FailUsage(command + ": a window of " + std::to_string(windowWidth) + " x " +
                  std::to_string(windowHeight) + " pixels is beyond " +
                  std::to_string(kLargestWindow) + " on a side");
    }
    pixels.resize(static_cast<size_t>(windowWidth) * windowHeight);
    renderer = std::make_unique<SoftwareRenderer>(frameWidth, frameHeight, windowWidth,
                                                  windowHeight, layout.placements);
}

const std::vector<uint32_t>& OverlayPainter::Paint(const uint8_t* frame) {
    renderer->Render(frame, view.shadow, view.background, pixels.data());
    return pixels;
}

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

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "render/software_renderer.h"
#include "settings/monitor_list.h"
#include "settings/playback_settings.h"

// The desktop and settings that `render` and `preview` show an archive's frames for.
struct OverlayView {
    std::vector<MonitorRect> monitors{{0, 0, 1920, 1080}};  // the first is the primary
    int32_t displayMode = EachMonitor;
    int32_t monitorIndex = 0;
    uint8_t shadow = 255;
    uint8_t background = 0;
};

// Takes `arg` when it is --desktop, --mode, --shadow or --background, with its value from
// `value`; false for any other argument. Usage errors start with `command`.
bool ParseOverlayOption(const std::string& command, const std::string& arg,
                        const std::function<std::string()>& value, OverlayView& view);

// Fails with a usage error when --mode chosen:K names no monitor of the desktop.
void CheckOverlayView(const std::string& command, const OverlayView& view);

// The player's window and software renderer for frames of one size.
class OverlayPainter {
  public:
    OverlayPainter(const std::string& command, const OverlayView& view, int32_t frameWidth,
                   int32_t frameHeight);

    int32_t WindowWidth() const { return windowWidth; }
    int32_t WindowHeight() const { return windowHeight; }

    // The window's premultiplied pixels for a frame given bottom row first.
    const std::vector<uint32_t>& Paint(const uint8_t* frame);

  private:
    OverlayView view;
    int32_t windowWidth = 0;
    int32_t windowHeight = 0;
    std::unique_ptr<SoftwareRenderer> renderer;
    std::vector<uint32_t> pixels;
};

// The grey that shows through the overlay's transparent parts in pictures and previews.
inline constexpr uint32_t kDesktopGrey = 128;

// Premultiplied pixels laid over the grey desktop, as RGB bytes.
std::vector<uint8_t> OverDesktop(const std::vector<uint32_t>& pixels);

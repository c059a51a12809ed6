// The borderless, click-through, layered popup through which the picture is shown.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "settings/monitor_list.h"
#include "settings/playback_settings.h"

// The rectangle spanning all monitors, as the system metrics give it.
struct VirtualScreen {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct WindowGeometry {
    POINT position{0, 0};
    SIZE size{0, 0};
};

VirtualScreen CurrentVirtualScreen();

// Place and size of the overlay for the display mode: the chosen monitor's rectangle, or the
// whole virtual screen (also when the chosen position names no display).
WindowGeometry OverlayGeometry(const PlaybackSettings& settings,
                               const std::vector<DisplayEntry>& displays,
                               const VirtualScreen& screen);

// Registers the class and creates the window into g_app.window; false when creation fails.
bool CreateOverlayWindow(int showCommand);

LRESULT CALLBACK OverlayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

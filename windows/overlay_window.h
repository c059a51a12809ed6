// The borderless, click-through, layered popup through which the picture is shown.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "render/placement.h"
#include "settings/monitor_list.h"
#include "settings/playback_settings.h"

struct WindowGeometry {
    POINT position{0, 0};
    SIZE size{0, 0};
};

// Place and size of the overlay for the display mode, as LayOutOverlay gives them: the chosen
// monitor's rectangle (the primary display's when the chosen position names none), or the whole
// virtual screen.
WindowGeometry OverlayGeometry(const PlaybackSettings& settings,
                               const std::vector<DisplayEntry>& displays,
                               const VirtualScreen& screen);

// Registers the class and creates the window into g_app.playback.window; false when creation fails.
bool CreateOverlayWindow(int showCommand);

LRESULT CALLBACK OverlayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Before the failure box: stops the window's timers, event hooks and session and power notices,
// and leaves every later message to the default processing, so that nothing that the box's own
// message loop dispatches shows the overlay again or waits for the worker.
void QuietOverlayWindow(HWND window);

// The Linux player after the settings dialog: overlay window, worker and presentation loop.
#pragma once

#include <X11/Xlib.h>

#include <vector>

#include "settings/monitor_list.h"
#include "settings/playback_settings.h"

// Plays until the window is closed or, with exitOnKey, a key is pressed; returns the exit
// status, 0.
int RunPlayback(Display* display, const PlaybackSettings& settings,
                std::vector<DisplayEntry> displays);

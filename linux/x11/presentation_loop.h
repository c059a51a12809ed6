// The Linux player after the settings dialog: overlay window, worker and presentation loop.
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

#include "playback/player_failure.h"
#include "settings/monitor_list.h"
#include "settings/playback_settings.h"

// Plays the archive until the window is closed or, with exitOnKey, a key is pressed, and returns
// 0; or until a failure, which it puts in `failure` and returns 1. Either way the overlay window
// is gone and the worker has ended, the archive given back, when it returns.
int RunPlayback(Display* display, const PlaybackSettings& settings,
                std::vector<DisplayEntry> displays, const std::string& archivePath,
                PlayerFailure& failure);

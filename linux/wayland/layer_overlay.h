// The Wayland overlay after the settings dialog: one layer surface per output, the worker, and
// the GTK main loop that paces the pictures by the compositor's frame callbacks.
#pragma once

#include <gdk/gdk.h>

#include <string>
#include <vector>

#include "linux/wayland/output_geometry.h"
#include "playback/player_failure.h"
#include "settings/playback_settings.h"

// The outputs GDK knows, in its order, and their GDK monitors beside them.
std::vector<WaylandOutput> ListWaylandOutputs(GdkDisplay* display,
                                              std::vector<GdkMonitor*>* monitors = nullptr);

// Plays until a key ends it (with exitOnKey), SIGINT or SIGTERM: 0; or until a failure: 1, with
// it in `failure`. The surfaces are gone and the worker has ended when it returns.
int RunLayerOverlay(const PlaybackSettings& settings, const std::string& archivePath,
                    PlayerFailure& failure);

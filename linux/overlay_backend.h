// The Linux player's overlays behind one narrow table: the first one that can run here is
// taken at start, unless NOCTIVA_BACKEND names one.
#pragma once

#include <string>
#include <vector>

#include "playback/player_failure.h"
#include "settings/monitor_list.h"
#include "settings/playback_settings.h"

struct OverlayBackend {
    const char* name;         // as NOCTIVA_BACKEND names it
    const char* description;  // for the line that tells the choice
    // Connects to the display server; false, with the reason, when this overlay cannot run here.
    bool (*open)(std::string& reason);
    // The displays for the settings dialog, after open.
    std::vector<DisplayEntry> (*listDisplays)();
    // Plays until the user ends it (0) or a failure (1, told in `failure`).
    int (*play)(const PlaybackSettings& settings, const std::string& archivePath,
                PlayerFailure& failure);
    void (*close)();
};

// The first of `backends` that opens, or only the one `forced` names (when not null or empty).
// Returns nullptr with the reasons, one per back end tried, when none opens.
const OverlayBackend* PickOverlayBackend(const std::vector<const OverlayBackend*>& backends,
                                         const char* forced, std::string& reasons);

// NOCTIVA_BACKEND's back end or the first that works, with one line on standard error that
// says which.
const OverlayBackend* OpenOverlayBackend(const std::vector<const OverlayBackend*>& backends,
                                         std::string& reasons);

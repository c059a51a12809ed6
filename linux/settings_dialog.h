// The settings dialog with GTK 3: the controls, texts and tooltips of dialog template 129.
#pragma once

#include <vector>

#include "settings/monitor_list.h"
#include "settings/playback_settings.h"

// Runs the modal dialog and writes every change into `settings` at once. Returns 1 after
// "実行" (or Enter), 2 after "終了" (or Esc or the close box), -1 when GTK cannot start.
int RunSettingsDialog(PlaybackSettings& settings, const std::vector<DisplayEntry>& displays);

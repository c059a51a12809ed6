// What the settings dialog shows and how each choice writes the settings, for platforms that
// build the dialog from their own toolkit. The Windows dialog procedure does the same with the
// dialog manager's controls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings/monitor_list.h"
#include "settings/playback_settings.h"

struct SettingsForm {
    std::vector<std::string> monitorLabels;  // the combo box's entries, UTF-8
    int32_t shownMonitor = -1;               // the combo box's selection; -1 with no entry
    bool modeChoiceEnabled = false;          // the three display-mode buttons
    bool monitorChoiceEnabled = false;       // the combo box
    int32_t modeButton = 0;                  // the selected display-mode button's id
    int32_t stackingButton = 0;              // the selected stacking button's id
    int32_t shadowSlider = 0;
    int32_t backgroundSlider = 0;
};

// The dialog as it opens. With two or more displays the combo box lists them and shows the
// primary one (the first when none is primary), and that position becomes monitorIndex; with
// fewer the display-mode choice is disabled and monitorIndex keeps its value.
SettingsForm OpenSettingsForm(PlaybackSettings& settings,
                              const std::vector<DisplayEntry>& displays);

// A display-mode button was selected (1016, 1017 or 1018): the mode follows, and the combo box
// is enabled for the chosen-monitor mode only. Other ids change nothing.
void ChooseDisplayMode(PlaybackSettings& settings, SettingsForm& form, int32_t buttonId);

// A stacking button was selected (1013, 1014 or 1015).
void ChooseStacking(PlaybackSettings& settings, SettingsForm& form, int32_t buttonId);

// The combo box's selection changed to `position`.
void ChooseMonitor(PlaybackSettings& settings, SettingsForm& form, int32_t position);

// DisplayLabel in UTF-8.
std::string DisplayLabelUtf8(int position, bool primary);

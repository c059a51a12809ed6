#include "settings/settings_form.h"

#include "resources/resource.h"

namespace {

int32_t StackingButtonFor(const PlaybackSettings& settings) {
    if (settings.keepOnTop) return IDC_STACK_TOP;
    if (settings.keepAtBottom) return IDC_STACK_BOTTOM;
    return IDC_STACK_NORMAL;
}

int32_t ModeButtonFor(int32_t displayMode) {
    if (displayMode == WholeDesktop) return IDC_MODE_WHOLE_DESKTOP;
    if (displayMode == ChosenMonitor) return IDC_MODE_CHOSEN_MONITOR;
    return IDC_MODE_EACH_MONITOR;
}

}  // namespace

std::string DisplayLabelUtf8(int position, bool primary) {
    // The label is ASCII: the wide characters narrow one to one.
    const std::wstring wide = DisplayLabel(position, primary);
    return std::string(wide.begin(), wide.end());
}

SettingsForm OpenSettingsForm(PlaybackSettings& settings,
                              const std::vector<DisplayEntry>& displays) {
    SettingsForm form;
    if (displays.size() >= 2) {
        form.modeChoiceEnabled = true;
        form.shownMonitor = 0;
        for (size_t i = 0; i < displays.size(); ++i) {
            form.monitorLabels.push_back(DisplayLabelUtf8(int(i), displays[i].primary));
            if (displays[i].primary) form.shownMonitor = int32_t(i);
        }
        settings.monitorIndex = form.shownMonitor;
    }
    form.stackingButton = StackingButtonFor(settings);
    form.modeButton = ModeButtonFor(settings.displayMode);
    form.shadowSlider = OpacityToSlider(settings.shadowOpacity);
    form.backgroundSlider = OpacityToSlider(settings.backgroundOpacity);
    return form;
}

void ChooseDisplayMode(PlaybackSettings& settings, SettingsForm& form, int32_t buttonId) {
    switch (buttonId) {
        case IDC_MODE_WHOLE_DESKTOP:
            settings.displayMode = WholeDesktop;
            break;
        case IDC_MODE_EACH_MONITOR:
            settings.displayMode = EachMonitor;
            break;
        case IDC_MODE_CHOSEN_MONITOR:
            settings.displayMode = ChosenMonitor;
            break;
        default:
            return;
    }
    form.modeButton = buttonId;
    form.monitorChoiceEnabled = buttonId == IDC_MODE_CHOSEN_MONITOR;
}

void ChooseStacking(PlaybackSettings& settings, SettingsForm& form, int32_t buttonId) {
    if (buttonId != IDC_STACK_NORMAL && buttonId != IDC_STACK_TOP && buttonId != IDC_STACK_BOTTOM) {
        return;
    }
    form.stackingButton = buttonId;
    settings.keepOnTop = buttonId == IDC_STACK_TOP;
    settings.keepAtBottom = buttonId == IDC_STACK_BOTTOM;
}

void ChooseMonitor(PlaybackSettings& settings, SettingsForm& form, int32_t position) {
    if (position < 0 || size_t(position) >= form.monitorLabels.size()) return;
    form.shownMonitor = position;
    settings.monitorIndex = position;
}

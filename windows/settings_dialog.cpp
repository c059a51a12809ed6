#include "windows/settings_dialog.h"

#include <commctrl.h>

#include <cstdint>

#include "resources/resource.h"
#include "settings/playback_settings.h"
#include "windows/app_state.h"
#include "windows/monitor_list.h"

namespace {

// One tooltip control serves the dialog for the whole process.
HWND tooltip = nullptr;

// The controls with a tooltip, in the order their tools are registered; each text is the string
// resource with the control's id.
constexpr int kToolControls[] = {
    IDOK,
    IDCANCEL,
    IDC_SHADOW_TRACKBAR,
    IDC_BACKGROUND_TRACKBAR,
    IDC_SHOW_FPS,
    IDC_LIMIT_FPS,
    IDC_MODE_WHOLE_DESKTOP,
    IDC_MODE_EACH_MONITOR,
    IDC_MODE_CHOSEN_MONITOR,
    IDC_MONITOR_COMBO,
    IDC_STACK_NORMAL,
    IDC_STACK_TOP,
    IDC_STACK_BOTTOM,
};

bool IsChecked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void EnableCombo(HWND dialog, bool enable) {
    EnableWindow(GetDlgItem(dialog, IDC_MONITOR_COMBO), enable);
}

void CreateTooltipOnce(HWND dialog) {
    if (tooltip) return;
    tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, TOOLTIPS_CLASSW,
                              TTS_ALWAYSTIP | TTS_NOPREFIX | TTS_BALLOON, 0, 0, 0, 0, dialog,
                              nullptr, g_app.process.moduleHandle, nullptr);
}

void SetDialogIcon(HWND dialog) {
    HICON icon = LoadIconW(g_app.process.moduleHandle, MAKEINTRESOURCEW(IDI_NOCTIVA));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

void AddTooltips(HWND dialog) {
    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(32767, 0));
    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(0, 0));
    SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, 512);
    for (int id : kToolControls) {
        TTTOOLINFOW tool{};
        // The record without the reserved pointer: 48 bytes in a 32-bit build.
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_SUBCLASS | TTF_CENTERTIP;
        tool.hwnd = GetDlgItem(dialog, id);
        tool.uId = static_cast<UINT_PTR>(id);
        GetClientRect(tool.hwnd, &tool.rect);
        tool.hinst = g_app.process.moduleHandle;
        tool.lpszText = MAKEINTRESOURCEW(id);
        tool.lParam = 0;
        SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void FillMonitorChoice(HWND dialog) {
    EnumerateDisplays();
    const auto& displays = g_app.playback.displays;
    if (displays.size() >= 2) {
        HWND combo = GetDlgItem(dialog, IDC_MONITOR_COMBO);
        LRESULT primaryPosition = 0;
        for (size_t i = 0; i < displays.size(); ++i) {
            std::wstring label = DisplayLabel(static_cast<int>(i), displays[i].primary);
            LRESULT position =
                SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label.c_str()));
            if (displays[i].primary) primaryPosition = position;
        }
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(primaryPosition), 0);
        g_app.playback.settings.monitorIndex = static_cast<int32_t>(primaryPosition);
    } else {
        for (int id : {IDC_MODE_WHOLE_DESKTOP, IDC_MODE_EACH_MONITOR, IDC_MODE_CHOSEN_MONITOR}) {
            EnableWindow(GetDlgItem(dialog, id), FALSE);
        }
    }
    EnableCombo(dialog, false);
}

void ShowSettings(HWND dialog) {
    const PlaybackSettings& s = g_app.playback.settings;
    CheckDlgButton(dialog, IDC_SHOW_FPS, s.showFps ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_LIMIT_FPS, s.limitFps ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_EXIT_ON_KEY, s.exitOnKey ? BST_CHECKED : BST_UNCHECKED);
    int stacking = s.keepOnTop      ? IDC_STACK_TOP
                   : s.keepAtBottom ? IDC_STACK_BOTTOM
                                    : IDC_STACK_NORMAL;
    CheckRadioButton(dialog, IDC_STACK_NORMAL, IDC_STACK_BOTTOM, stacking);
    int mode = s.displayMode == WholeDesktop    ? IDC_MODE_WHOLE_DESKTOP
               : s.displayMode == ChosenMonitor ? IDC_MODE_CHOSEN_MONITOR
                                                : IDC_MODE_EACH_MONITOR;
    CheckRadioButton(dialog, IDC_MODE_WHOLE_DESKTOP, IDC_MODE_CHOSEN_MONITOR, mode);
}

void SetUpTrackbar(HWND dialog, int trackbarId, int labelId, uint8_t opacity) {
    HWND trackbar = GetDlgItem(dialog, trackbarId);
    int position = OpacityToSlider(opacity);
    SendMessageW(trackbar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    SendMessageW(trackbar, TBM_SETTICFREQ, 10, 0);
    SendMessageW(trackbar, TBM_SETPAGESIZE, 0, 10);
    SendMessageW(trackbar, TBM_SETPOS, TRUE, position);
    SetDlgItemInt(dialog, labelId, static_cast<UINT>(position), FALSE);
}

INT_PTR OnInitDialog(HWND dialog) {
    SetDialogIcon(dialog);
    AddTooltips(dialog);
    FillMonitorChoice(dialog);
    ShowSettings(dialog);
    SetUpTrackbar(dialog, IDC_SHADOW_TRACKBAR, IDC_SHADOW_VALUE,
                  g_app.playback.settings.shadowOpacity);
    SetUpTrackbar(dialog, IDC_BACKGROUND_TRACKBAR, IDC_BACKGROUND_VALUE,
                  g_app.playback.settings.backgroundOpacity);
    return FALSE;
}

INT_PTR OnHScroll(HWND dialog, WPARAM wParam, HWND trackbar) {
    int code = LOWORD(wParam);
    LRESULT raw = (code == TB_THUMBPOSITION || code == TB_THUMBTRACK)
                      ? HIWORD(wParam)
                      : SendMessageW(trackbar, TBM_GETPOS, 0, 0);
    auto position = static_cast<uint8_t>(raw);
    if (trackbar == GetDlgItem(dialog, IDC_SHADOW_TRACKBAR)) {
        SetDlgItemInt(dialog, IDC_SHADOW_VALUE, position, FALSE);
        g_app.playback.settings.shadowOpacity = SliderToOpacity(position);
    } else if (trackbar == GetDlgItem(dialog, IDC_BACKGROUND_TRACKBAR)) {
        SetDlgItemInt(dialog, IDC_BACKGROUND_VALUE, position, FALSE);
        g_app.playback.settings.backgroundOpacity = SliderToOpacity(position);
    }
    return FALSE;
}

INT_PTR OnCommand(HWND dialog, int id, int notification) {
    PlaybackSettings& s = g_app.playback.settings;
    switch (id) {
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, id);
            return TRUE;
        case IDC_SHOW_FPS:
            s.showFps = IsChecked(dialog, IDC_SHOW_FPS);
            return FALSE;
        case IDC_LIMIT_FPS:
            s.limitFps = IsChecked(dialog, IDC_LIMIT_FPS);
            return FALSE;
        case IDC_EXIT_ON_KEY:
            s.exitOnKey = IsChecked(dialog, IDC_EXIT_ON_KEY);
            return FALSE;
        case IDC_STACK_NORMAL:
        case IDC_STACK_TOP:
        case IDC_STACK_BOTTOM:
            s.keepOnTop = IsChecked(dialog, IDC_STACK_TOP);
            s.keepAtBottom = IsChecked(dialog, IDC_STACK_BOTTOM);
            return FALSE;
        case IDC_MODE_WHOLE_DESKTOP:
            if (IsChecked(dialog, IDC_MODE_WHOLE_DESKTOP)) s.displayMode = WholeDesktop;
            EnableCombo(dialog, false);
            return TRUE;
        case IDC_MODE_EACH_MONITOR:
            if (IsChecked(dialog, IDC_MODE_EACH_MONITOR)) s.displayMode = EachMonitor;
            EnableCombo(dialog, false);
            return TRUE;
        case IDC_MODE_CHOSEN_MONITOR:
            if (IsChecked(dialog, IDC_MODE_CHOSEN_MONITOR)) {
                s.displayMode = ChosenMonitor;
                EnableCombo(dialog, true);
            }
            return TRUE;
        case IDC_MONITOR_COMBO:
            if (notification == CBN_SELENDOK) {
                s.monitorIndex = static_cast<int32_t>(
                    SendMessageW(GetDlgItem(dialog, IDC_MONITOR_COMBO), CB_GETCURSEL, 0, 0));
            }
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    CreateTooltipOnce(dialog);
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog);
        case WM_HSCROLL:
            return OnHScroll(dialog, wParam, reinterpret_cast<HWND>(lParam));
        case WM_COMMAND:
            return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        default:
            return FALSE;
    }
}

int RunSettingsDialog() {
    return static_cast<int>(DialogBoxParamW(g_app.process.moduleHandle,
                                            MAKEINTRESOURCEW(IDD_SETTINGS), nullptr,
                                            SettingsDialogProc, 0));
}

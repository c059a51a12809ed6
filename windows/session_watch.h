// The lock screen and the console display: nobody sees the overlay while the session is locked
// or the display is off, so the player pauses then.
#pragma once

#include <windows.h>

#include <cstdint>

// Registers the overlay window for WM_WTSSESSION_CHANGE and for the console display's power
// setting (WM_POWERBROADCAST); StopSessionWatch undoes both.
void StartSessionWatch(HWND window);
void StopSessionWatch(HWND window);

// The pause reasons after a session change (WM_WTSSESSION_CHANGE's wParam): a lock pauses, an
// unlock plays again, other changes keep the reasons.
uint32_t ReasonsAfterSessionChange(uint32_t reasons, WPARAM change);

// The pause reasons after a power setting change (WM_POWERBROADCAST with
// PBT_POWERSETTINGCHANGE): the console display off (0) pauses, on (1) and dimmed (2) play.
// Settings other than the console display's keep the reasons.
uint32_t ReasonsAfterPowerSetting(uint32_t reasons, const POWERBROADCAST_SETTING& setting);

// The lock screen and the console display: nobody sees the overlay while the session is locked
// or the display is off, so the player pauses then.
#pragma once

#include <windows.h>

#include <cstdint>

// Registers the overlay window for WM_WTSSESSION_CHANGE and for the console display's power
// setting (WM_POWERBROADCAST); StopSessionWatch undoes both.
void StartSessionWatch(HWND window);
void StopSessionWatch(HWND window);

// The player's session, and whether it is the one attached to the physical console (a Remote
// Desktop session is not).
struct SessionPlace {
    DWORD own = 0;
    bool onConsole = true;
};
SessionPlace CurrentSessionPlace();

// The pause reasons after a session change (WM_WTSSESSION_CHANGE: wParam `change`, lParam
// `session`): a lock pauses, an unlock plays again; a disconnect of the player's own session
// (remote or console) pauses, a connect plays again. Other changes keep the reasons. A session
// away from the console does not follow the console display.
uint32_t ReasonsAfterSessionChange(uint32_t reasons, WPARAM change, DWORD session,
                                   const SessionPlace& place);

// The pause reasons after a power setting change (WM_POWERBROADCAST with
// PBT_POWERSETTINGCHANGE): the console display off (0) pauses, on (1) and dimmed (2) play, but
// only for a player on the console's session. Settings other than the console display's keep
// the reasons.
uint32_t ReasonsAfterPowerSetting(uint32_t reasons, const POWERBROADCAST_SETTING& setting,
                                  const SessionPlace& place);

// Full-screen applications: while one covers a monitor the overlay shows nothing there, and
// when it covers every monitor the overlay shows, the player pauses.
#pragma once

#include <windows.h>

#include "render/screen_cover.h"
#include "settings/monitor_list.h"

// The overlay steps aside for full-screen applications (not with 最前面に居座る, where the user
// asked it to stay in front of everything): Windows tells of foreground and location changes
// through event hooks, and a timer looks four times a second where they never come (Wine).
void StartFullScreenWatch(HWND overlay);
void StopFullScreenWatch(HWND overlay);

// The rectangles and style facts of `window`, in virtual-desktop coordinates.
ForegroundWindowFacts WindowFacts(HWND window);

// The facts of `foreground` when it may be a full-screen application: a visible, not
// minimised top-level window of another process, other than the desktop, the shell and the
// taskbar. False otherwise.
bool FullScreenCandidate(HWND foreground, ForegroundWindowFacts& facts);

// Looks at the foreground window now and follows what it covers when that changed.
void CheckFullScreen(HWND overlay);

// After a display change: the next look follows what it finds, changed or not, since the same
// window may leave something else to show on the new displays.
void ForgetFullScreenCover();

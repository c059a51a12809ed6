// The Windows clock's sleeps, which the player's worker shares with its stop.
#pragma once

#include <windows.h>

// From now on the platform clock's sleeps end early once `event` is set (nullptr: plain
// sleeps again), so that a worker asked to stop is not kept in a frame wait or a repeat sleep.
void WakeClockSleepsOn(HANDLE event);

// The worker's start and stop, the picture surface, the pause, and the re-layouts after a
// display change or a full-screen application's change: all on the main thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "settings/monitor_list.h"

// Sets `running` and starts the playback worker, which carries on from g_app.shared.frameReached.
// Without a device or a picture surface (between a lost device and its successor, or while no
// display is attached) no worker starts.
void StartPlaybackWorker();

// Clears `running`, wakes the worker's waits, waits for it to end (at most `waitMs`) and closes
// its handle. True once no worker runs: it had ended, never started, or ended in time; a worker
// that was not started as the player starts it (a test's) cannot be waited for. The caller must
// not hold pictureLock: the worker may need it once more before it sees the flag.
bool StopPlaybackWorker(DWORD waitMs = INFINITE);

// (Re)creates the system-memory picture surface at the window's size: S_OK or the failure.
HRESULT CreatePictureSurface();
// The same, ending the process on a failure.
void MakePictureSurface();

// Sets or clears one PauseReason. When the first reason is set the window is hidden and the
// worker waits; when the last one is cleared the window is shown again with the picture it
// held, and the worker goes on from the frame reached.
void SetPauseReason(HWND window, uint32_t reason, bool set);

// Asks the presentation loop to show the picture surface again: the held picture comes back
// after the window lost its contents.
void ShowHeldPicture();

// After the displays changed: stops the worker, reads the displays and the virtual screen again,
// lays the window out for the same settings, moves and sizes it without touching its stacking,
// makes a picture surface of the new size and starts a worker at the frame that had been
// reached. A layout with no display keeps the window hidden and no worker running until a
// display comes back.
void FollowDisplayChange(HWND window);

// After the displays covered by a full-screen application changed (`covered`, in
// virtual-desktop coordinates): pauses when that leaves nothing to show, and otherwise starts
// a worker that clears the covered displays when they differ from the running worker's.
void FollowFullScreenCover(HWND window, const std::vector<MonitorRect>& covered);

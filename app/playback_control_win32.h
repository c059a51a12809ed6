// The worker's start and stop, the picture surface, and the re-layout after a display change:
// all on the main thread.
#pragma once

#include <windows.h>

// Sets `running` and starts the playback worker, which carries on from g_app.frameReached.
void StartPlaybackWorker();

// Clears `running`, waits for the worker to end and closes its handle. The caller must not hold
// pictureLock: the worker may need it once more before it sees the flag.
void StopPlaybackWorker();

// (Re)creates the system-memory picture surface at the window's size; a failure ends the
// process with status 0.
void MakePictureSurface();

// After the displays changed: stops the worker, reads the displays and the virtual screen again,
// lays the window out for the same settings, moves and sizes it without touching its stacking,
// makes a picture surface of the new size, rebuilds the monitor list and starts a worker at the
// frame that had been reached.
void FollowDisplayChange(HWND window);

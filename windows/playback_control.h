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

// How long a worker is given to finish its turn when asked to stop.
constexpr DWORD kWorkerStopMs = 5000;

// Clears `running`, wakes the worker's waits, waits for it to end (at most `waitMs`) and closes
// its handle; the time counts from the start of the worker's current device calls when it is
// inside them. True once no worker runs: it had ended, never started, or ended in time; a worker
// that was not started as the player starts it (a test's) cannot be waited for. A worker that
// did not end in time (a driver hung in a device call) is not waited for again. The caller must
// not hold pictureLock: the worker may need it once more before it sees the flag.
bool StopPlaybackWorker(DWORD waitMs = kWorkerStopMs);

// The same, ending the player with a failure when the worker does not end in time.
void StopWorkerOrEnd();
// That failure: the driver did not answer.
[[noreturn]] void EndWithUnresponsiveWorker();

// Enters pictureLock for the presentation; a worker that has been in its device calls for
// kWorkerStopMs while holding it hangs in the driver, and the player ends with the failure.
void TakePictureLockOrEnd();

// WM_ACTIVATE: whether the overlay has the activation. A pause remembers it, so that the resume
// gives the activation back (and with it the key that ends the player).
void NoteActivation(bool active);

// After the first picture: the active overlay takes the keyboard focus again. Wine maps a layered
// window only at its first UpdateLayeredWindow, so the focus that its activation asked for
// before went nowhere.
void FocusShownOverlay(HWND window);

// (Re)creates the system-memory picture surface at the window's size: S_OK or the failure.
HRESULT CreatePictureSurface();

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

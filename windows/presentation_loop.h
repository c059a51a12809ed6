// The main thread's loop: window messages first, then the latest finished picture.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "playback/frame_clock.h"

enum class LoopWaiting {
    // Sleeps in MsgWaitForMultipleObjectsEx until a message or a finished picture arrives.
    Blocking,
    // Never sleeps: peeks and tests the event with a zero timeout, keeping one core busy. Kept
    // only to measure the difference.
    Polling,
};

// Presents the picture that the surface holds; false when the window refused it, after which
// the loop ends.
using PresentPicture = std::function<bool()>;

// Runs until WM_QUIT (returns its wParam) or until `present` fails (returns 0). Pending messages
// are dispatched before each presentation; each setting of `frameReady` gives at most one.
int RunPresentationLoop(LoopWaiting waiting, HANDLE frameReady, const PresentPicture& present);

// What the loop keeps between pictures for the frame-rate label.
struct PresentationState {
    FrameRateMeter meter;
    bool firstPicture = true;
    double shownRate = 0.0;
    uint32_t nextRateRefresh = 0;
};

// The label's value is refreshed from the meter when `now` has reached `nextRateRefresh`, a
// 32-bit millisecond count compared across its wrap; the first picture sets the first refresh.
void AfterPicturePresented(PresentationState& state, uint32_t (*now)());

// One presentation of g_app.playback.pictureSurface through UpdateLayeredWindow with per-pixel
// alpha, under the picture lock, with the frame-rate label when asked; none while paused or without
// a picture surface. A failed surface device-context call ends the player through EndWithFailure;
// a refused picture destroys the window and returns false.
bool PresentSurface(PresentationState& state);

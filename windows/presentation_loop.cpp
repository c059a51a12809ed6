#include "windows/presentation_loop.h"

#include <mmsystem.h>

#include "windows/app_state.h"
#include "windows/failure_notice.h"
#include "windows/fps_label.h"
#include "windows/playback_control.h"

namespace {

constexpr uint32_t kRateRefreshMs = 100;

// True once a picture is waiting: the successful wait has reset the event. Between pictures the
// blocking form sleeps until a message or the event arrives.
bool PictureReady(LoopWaiting waiting, HANDLE frameReady) {
    if (waiting == LoopWaiting::Polling) {
        return WaitForSingleObject(frameReady, 0) == WAIT_OBJECT_0;
    }
    return MsgWaitForMultipleObjectsEx(1, &frameReady, INFINITE, QS_ALLINPUT,
                                       MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0;
}

uint32_t MillisecondsNow() {
    return timeGetTime();
}

}  // namespace

int RunPresentationLoop(LoopWaiting waiting, HANDLE frameReady, const PresentPicture& present) {
    MSG message{};
    for (;;) {
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
            TranslateMessage(&message);
            DispatchMessageW(&message);
            continue;
        }
        if (!PictureReady(waiting, frameReady)) continue;
        // The window was destroyed, which posted the quit message with 0; the program's own end
        // is status 0 whatever message came last.
        if (!present()) return 0;
    }
}

void AfterPicturePresented(PresentationState& state, uint32_t (*now)()) {
    state.meter.Tick();
    if (state.firstPicture) {
        state.firstPicture = false;
        state.nextRateRefresh = now() + kRateRefreshMs;
    }
    if (ReachedMilliseconds(now(), state.nextRateRefresh)) {
        state.shownRate = state.meter.rate;
        state.nextRateRefresh = now() + kRateRefreshMs;
    }
}

bool PresentSurface(PresentationState& state) {
    // Nothing to show while paused (the window is hidden) or between a lost device and its
    // successor; a picture handed over just before the pause comes back at the resume.
    if (g_app.windowThread.pauseReasons != 0 || g_app.playback.pictureSurface == nullptr)
        return true;
    TakePictureLockOrEnd();
    if (state.firstPicture) state.shownRate = state.meter.rate;

    HDC surfaceDC = nullptr;
    const HRESULT taken = g_app.playback.pictureSurface->GetDC(&surfaceDC);
    if (FAILED(taken)) EndWithFailure(DeviceFailure("the picture cannot be drawn", taken));
    if (g_app.playback.settings.showFps) DrawFpsLabel(surfaceDC, state.shownRate);

    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    const BOOL shown = UpdateLayeredWindow(
        g_app.playback.window, g_app.process.screenDC, &g_app.windowThread.windowPosition,
        &g_app.playback.windowSize, surfaceDC, &source, 0, &blend, ULW_ALPHA);
    if (!shown) {
        g_app.playback.pictureSurface->ReleaseDC(surfaceDC);
        LeaveCriticalSection(&g_app.process.pictureLock);
        DestroyWindow(g_app.playback.window);  // joins the worker: the lock must be free here
        return false;
    }
    const HRESULT given = g_app.playback.pictureSurface->ReleaseDC(surfaceDC);
    if (FAILED(given)) EndWithFailure(DeviceFailure("the picture cannot be given back", given));
    LeaveCriticalSection(&g_app.process.pictureLock);
    if (state.firstPicture) FocusShownOverlay(g_app.playback.window);

    AfterPicturePresented(state, MillisecondsNow);
    return true;
}

#include "windows/playback_control.h"

#include <process.h>

#include "playback/frame_clock_win32.h"
#include "playback/pause_reasons.h"
#include "render/overlay_layout.h"
#include "render/screen_cover.h"
#include "windows/app_state.h"
#include "windows/failure_notice.h"
#include "windows/full_screen_watch.h"
#include "windows/monitor_list.h"
#include "windows/placement.h"
#include "windows/playback_worker.h"
#include "windows/process_exit.h"

namespace {

OverlayLayout CurrentLayout() {
    return LayOutOverlay(g_app.settings, g_app.displays, g_app.virtualScreen, 0, 0);
}

// Hiding the active overlay gives the activation away; it takes it back at the resume (so that
// a key still ends it) when it had it, or when no other window has it now, never from another.
bool g_activeAtPause = false;

bool ActivatesAgain() {
    const HWND foreground = GetForegroundWindow();
    return g_activeAtPause || foreground == nullptr || foreground == GetDesktopWindow();
}

}  // namespace

void StartPlaybackWorker() {
    if (!g_app.device || !g_app.pictureSurface || g_app.workerThread) return;
    g_app.running = true;
    ResetEvent(g_app.workerStop);
    WakeClockSleepsOn(g_app.workerStop);
    NoteWorkerStarting();
    // Started once its handle is stored: a failure on its first instructions hands itself to the
    // main thread by that handle.
    g_app.workerThread = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, PlaybackWorker, nullptr, CREATE_SUSPENDED, nullptr));
    if (g_app.workerThread) ResumeThread(g_app.workerThread);
}

bool StopPlaybackWorker(DWORD waitMs) {
    g_app.running = false;
    if (g_app.workerStop) SetEvent(g_app.workerStop);
    if (!g_app.workerThread) return !PlaybackWorkerAlive();
    if (WaitForSingleObject(g_app.workerThread, waitMs) != WAIT_OBJECT_0) return false;
    CloseHandle(g_app.workerThread);
    g_app.workerThread = nullptr;
    return true;
}

HRESULT CreatePictureSurface() {
    // No worker runs here; the lock keeps an exit-time clean-up from meeting a half-made swap.
    EnterCriticalSection(&g_app.pictureLock);
    if (g_app.pictureSurface) g_app.pictureSurface->Release();
    g_app.pictureSurface = nullptr;
    const HRESULT hr = g_app.device->CreateOffscreenPlainSurface(
        static_cast<UINT>(g_app.windowSize.cx), static_cast<UINT>(g_app.windowSize.cy),
        D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &g_app.pictureSurface, nullptr);
    if (FAILED(hr)) g_app.pictureSurface = nullptr;
    LeaveCriticalSection(&g_app.pictureLock);
    return hr;
}

void MakePictureSurface() {
    const HRESULT made = CreatePictureSurface();
    if (FAILED(made)) EndWithFailure(DeviceFailure("the picture surface cannot be made", made));
}

void SetPauseReason(HWND window, uint32_t reason, bool set) {
    const bool wasPaused = g_app.pauseReasons != 0;
    g_app.pauseReasons = WithReason(g_app.pauseReasons, reason, set);
    const bool paused = g_app.pauseReasons != 0;
    if (paused == wasPaused) return;
    if (paused) {
        g_activeAtPause = GetForegroundWindow() == window;
        g_app.paused = true;
        ResetEvent(g_app.resume);
        ShowWindow(window, SW_HIDE);
        return;
    }
    ShowWindow(window, ActivatesAgain() ? SW_SHOW : SW_SHOWNA);
    g_app.paused = false;
    SetEvent(g_app.resume);
    ShowHeldPicture();
}

void ShowHeldPicture() {
    SetEvent(g_app.frameReady);
}

void FollowDisplayChange(HWND window) {
    StopPlaybackWorker();
    g_app.displays.clear();
    EnumerateDisplays();
    g_app.virtualScreen = QueryVirtualScreen();
    ForgetFullScreenCover();
    const OverlayLayout layout = CurrentLayout();
    if (layout.width <= 0 || layout.height <= 0) {
        // No display (a lid closed on the only screen, a switched KVM): nothing to lay out.
        SetPauseReason(window, kPauseNoDisplay, true);
        return;
    }
    g_app.windowPosition = POINT{layout.left, layout.top};
    g_app.windowSize = SIZE{layout.width, layout.height};
    SetWindowPos(window, nullptr, layout.left, layout.top, layout.width, layout.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (g_app.device) MakePictureSurface();
    ResetEvent(g_app.frameReady);  // a picture of the old size is gone with its surface
    StartPlaybackWorker();
    SetPauseReason(window, kPauseNoDisplay, false);
}

void FollowFullScreenCover(HWND window, const std::vector<MonitorRect>& covered) {
    const OverlayLayout layout = CurrentLayout();
    if (!covered.empty() && NothingLeftToShow(g_app.displays, covered, layout)) {
        SetPauseReason(window, kPauseFullScreen, true);
        return;
    }
    if (HiddenAreas(covered, layout) != HiddenAreas(g_app.coveredDisplays, layout)) {
        // The worker reads the covered displays at its start.
        const bool running = g_app.workerThread != nullptr;
        StopPlaybackWorker();
        g_app.coveredDisplays = covered;
        if (running) StartPlaybackWorker();
    }
    SetPauseReason(window, kPauseFullScreen, false);
}

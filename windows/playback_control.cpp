#include "windows/playback_control.h"

#include <process.h>

#include <string>

#include "playback/frame_clock_win32.h"
#include "playback/pause_reasons.h"
#include "render/overlay_layout.h"
#include "render/screen_cover.h"
#include "windows/app_state.h"
#include "windows/device_recovery.h"
#include "windows/failure_notice.h"
#include "windows/full_screen_watch.h"
#include "windows/monitor_list.h"
#include "windows/placement.h"
#include "windows/playback_worker.h"
#include "windows/process_exit.h"

namespace {

OverlayLayout CurrentLayout() {
    return LayOutOverlay(g_app.playback.settings, g_app.playback.displays,
                         g_app.playback.virtualScreen, 0, 0);
}

// The lock screen and a full-screen program take the activation a moment before the notice
// that pauses the player: an activation lost this shortly before the pause counts as held.
constexpr DWORD kActivationBeforePauseMs = 1000;

bool ActiveAsPauseBegins() {
    const WindowThreadState& w = g_app.windowThread;
    return w.active || (w.deactivatedAtMs != 0 &&
                        GetTickCount() - w.deactivatedAtMs < kActivationBeforePauseMs);
}

// Hiding the active overlay gives the activation away; it takes it back at the resume (so that
// a key still ends it) when it had it, or when no other window has it now, never from another.
bool ActivatesAgain() {
    const HWND foreground = GetForegroundWindow();
    return g_app.windowThread.activeAtPause || foreground == nullptr ||
           foreground == GetDesktopWindow();
}

// The wait for the worker counts from the start of its device calls: a hang found late (a key
// long after the driver stopped answering) is told without waiting the whole limit again.
DWORD StopWaitMs(DWORD limitMs) {
    const DWORD since = g_app.shared.deviceCallsSince.load();
    if (since == 0 || limitMs == INFINITE) return limitMs;
    const DWORD busy = GetTickCount() - since;
    return busy >= limitMs ? 0 : limitMs - busy;
}

void ShowAfterPause(HWND window) {
    if (!ActivatesAgain()) {
        ShowWindow(window, SW_SHOWNA);
        return;
    }
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
}

}  // namespace

void StartPlaybackWorker() {
    if (!g_app.playback.device || !g_app.playback.pictureSurface || g_app.windowThread.workerThread)
        return;
    g_app.shared.running = true;
    ResetEvent(g_app.process.workerStop);
    ++g_app.playback.workerGeneration;
    WakeClockSleepsOn(g_app.process.workerStop);
    NoteWorkerStarting();
    // Started once its handle is stored: a failure on its first instructions hands itself to the
    // main thread by that handle.
    g_app.windowThread.workerThread = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, PlaybackWorker, nullptr, CREATE_SUSPENDED, nullptr));
    if (g_app.windowThread.workerThread) ResumeThread(g_app.windowThread.workerThread);
}

bool StopPlaybackWorker(DWORD waitMs) {
    g_app.shared.running = false;
    if (g_app.process.workerStop) SetEvent(g_app.process.workerStop);
    if (!g_app.windowThread.workerThread) return !PlaybackWorkerAlive();
    waitMs = g_app.windowThread.workerUnresponsive ? 0 : StopWaitMs(waitMs);
    if (WaitForSingleObject(g_app.windowThread.workerThread, waitMs) != WAIT_OBJECT_0) {
        g_app.windowThread.workerUnresponsive = true;
        return false;
    }
    CloseHandle(g_app.windowThread.workerThread);
    g_app.windowThread.workerThread = nullptr;
    return true;
}

void EndWithUnresponsiveWorker() {
    g_app.windowThread.workerUnresponsive = true;  // the failure's own stop does not wait again
    EndWithFailure(PlaybackFailure("the graphics driver did not answer for " +
                                   std::to_string(kWorkerStopMs / 1000) + " seconds"));
}

void StopWorkerOrEnd() {
    if (!StopPlaybackWorker()) EndWithUnresponsiveWorker();
}

void TakePictureLockOrEnd() {
    // The worker holds it only for its copy of a picture, inside its device calls.
    while (!TryEnterCriticalSection(&g_app.process.pictureLock)) {
        if (StopWaitMs(kWorkerStopMs) == 0) EndWithUnresponsiveWorker();
        Sleep(1);
    }
}

void FocusShownOverlay(HWND window) {
    if (GetForegroundWindow() != window) return;
    SetFocus(nullptr);
    SetFocus(window);
}

void NoteActivation(bool active) {
    g_app.windowThread.active = active;
    if (!active) g_app.windowThread.deactivatedAtMs = GetTickCount();
}

HRESULT CreatePictureSurface() {
    // No worker runs here; the lock keeps an exit-time clean-up from meeting a half-made swap.
    EnterCriticalSection(&g_app.process.pictureLock);
    if (g_app.playback.pictureSurface) g_app.playback.pictureSurface->Release();
    g_app.playback.pictureSurface = nullptr;
    const HRESULT hr = g_app.playback.device->CreateOffscreenPlainSurface(
        static_cast<UINT>(g_app.playback.windowSize.cx),
        static_cast<UINT>(g_app.playback.windowSize.cy), D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
        &g_app.playback.pictureSurface, nullptr);
    if (FAILED(hr)) g_app.playback.pictureSurface = nullptr;
    LeaveCriticalSection(&g_app.process.pictureLock);
    return hr;
}

void SetPauseReason(HWND window, uint32_t reason, bool set) {
    const bool wasPaused = g_app.windowThread.pauseReasons != 0;
    g_app.windowThread.pauseReasons = WithReason(g_app.windowThread.pauseReasons, reason, set);
    const bool paused = g_app.windowThread.pauseReasons != 0;
    if (paused == wasPaused) return;
    if (paused) {
        g_app.windowThread.activeAtPause = ActiveAsPauseBegins();
        g_app.shared.paused = true;
        ResetEvent(g_app.process.resume);
        ShowWindow(window, SW_HIDE);
        return;
    }
    ShowAfterPause(window);
    g_app.shared.paused = false;
    SetEvent(g_app.process.resume);
    ShowHeldPicture();
}

void ShowHeldPicture() {
    SetEvent(g_app.process.frameReady);
}

void FollowDisplayChange(HWND window) {
    StopWorkerOrEnd();
    g_app.playback.displays.clear();
    EnumerateDisplays();
    g_app.playback.virtualScreen = QueryVirtualScreen();
    ForgetFullScreenCover();
    const OverlayLayout layout = CurrentLayout();
    if (layout.width <= 0 || layout.height <= 0) {
        // No display (a lid closed on the only screen, a switched KVM): nothing to lay out.
        SetPauseReason(window, kPauseNoDisplay, true);
        return;
    }
    g_app.windowThread.windowPosition = POINT{layout.left, layout.top};
    g_app.playback.windowSize = SIZE{layout.width, layout.height};
    SetWindowPos(window, nullptr, layout.left, layout.top, layout.width, layout.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ResetEvent(g_app.process.frameReady);  // a picture of the old size is gone with its surface
    const HRESULT made = g_app.playback.device ? CreatePictureSurface() : S_OK;
    if (FAILED(made)) {
        // A driver reset that came with the display change: the device is made anew.
        RecoverDevice(window, made);
    } else {
        StartPlaybackWorker();
    }
    SetPauseReason(window, kPauseNoDisplay, false);
}

void FollowFullScreenCover(HWND window, const std::vector<MonitorRect>& covered) {
    const OverlayLayout layout = CurrentLayout();
    if (!covered.empty() && NothingLeftToShow(g_app.playback.displays, covered, layout)) {
        SetPauseReason(window, kPauseFullScreen, true);
        return;
    }
    if (HiddenAreas(covered, layout) != HiddenAreas(g_app.playback.coveredDisplays, layout)) {
        // The worker reads the covered displays at its start.
        const bool running = g_app.windowThread.workerThread != nullptr;
        StopWorkerOrEnd();
        g_app.playback.coveredDisplays = covered;
        if (running) StartPlaybackWorker();
    }
    SetPauseReason(window, kPauseFullScreen, false);
}

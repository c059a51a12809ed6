#include "app/playback_control_win32.h"

#include <process.h>

#include "app/app_state_win32.h"
#include "app/failure_notice_win32.h"
#include "app/process_exit_win32.h"
#include "render/overlay_layout.h"
#include "render/placement_win32.h"
#include "render/playback_worker_win32.h"
#include "settings/monitor_list_win32.h"

void StartPlaybackWorker() {
    g_app.running = true;
    NoteWorkerStarting();
    // Started once its handle is stored: a failure on its first instructions hands itself to the
    // main thread by that handle.
    g_app.workerThread = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, PlaybackWorker, nullptr, CREATE_SUSPENDED, nullptr));
    if (g_app.workerThread) ResumeThread(g_app.workerThread);
}

void StopPlaybackWorker() {
    g_app.running = false;
    if (!g_app.workerThread) return;
    WaitForSingleObject(g_app.workerThread, INFINITE);
    CloseHandle(g_app.workerThread);
    g_app.workerThread = nullptr;
}

void MakePictureSurface() {
    // No worker runs here; the lock keeps an exit-time clean-up from meeting a half-made swap.
    EnterCriticalSection(&g_app.pictureLock);
    if (g_app.pictureSurface) g_app.pictureSurface->Release();
    g_app.pictureSurface = nullptr;
    const HRESULT made = g_app.device->CreateOffscreenPlainSurface(
        static_cast<UINT>(g_app.windowSize.cx), static_cast<UINT>(g_app.windowSize.cy),
        D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &g_app.pictureSurface, nullptr);
    if (FAILED(made)) EndWithFailure(DeviceFailure("the picture surface cannot be made", made));
    LeaveCriticalSection(&g_app.pictureLock);
}

void FollowDisplayChange(HWND window) {
    StopPlaybackWorker();
    g_app.displays.clear();
    EnumerateDisplays();
    g_app.virtualScreen = QueryVirtualScreen();
    OverlayLayout layout = LayOutOverlay(g_app.settings, g_app.displays, g_app.virtualScreen, 0, 0);
    g_app.windowPosition = POINT{layout.left, layout.top};
    g_app.windowSize = SIZE{layout.width, layout.height};
    SetWindowPos(window, nullptr, layout.left, layout.top, layout.width, layout.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    MakePictureSurface();
    // In desktop coordinates, as at start, when the window stood at (0, 0); the placements are
    // measured from the virtual screen's corner, wherever the window stands now.
    g_app.monitors = std::move(layout.monitors);
    ResetEvent(g_app.frameReady);  // a picture of the old size is gone with its surface
    StartPlaybackWorker();
}

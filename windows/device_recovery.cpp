#include "windows/device_recovery.h"

#include <mmsystem.h>

#include "playback/device_recovery.h"
#include "windows/app_state.h"
#include "windows/device.h"
#include "windows/failure_notice.h"
#include "windows/playback_control.h"

namespace {

constexpr UINT kRetryDelayMs = 1000;

DeviceCreatedHook g_deviceCreated = nullptr;

template <typename T>
void ReleaseReference(T*& reference) {
    if (reference != nullptr) reference->Release();
    reference = nullptr;
}

// One attempt; on a failure the next one is due a second later, or the player gives up.
void TryRecreation(HWND window, HRESULT previous) {
    const HRESULT made = CreateDeviceObjects();
    if (SUCCEEDED(made)) {
        g_app.windowThread.deviceRecreated = true;
        ResetEvent(g_app.process.frameReady);
        StartPlaybackWorker();
        return;
    }
    const HRESULT failure = made != E_FAIL ? made : previous;
    if (NoteFailedRecreation(g_app.windowThread.recreationFailures, timeGetTime()))
        EndAfterDeviceFailure(failure);
    SetTimer(window, kDeviceRetryTimer, kRetryDelayMs, nullptr);
}

}  // namespace

HRESULT CreateDeviceObjects() {
    D3DPRESENT_PARAMETERS& p = g_app.windowThread.presentParameters;
    p = D3DPRESENT_PARAMETERS{};
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = g_app.playback.window;
    p.Windowed = TRUE;
    const PlayerDevice made = CreatePlayerDevice(g_app.playback.window, p, FindDirect3DCreate9Ex());
    EnterCriticalSection(&g_app.process.pictureLock);
    g_app.windowThread.direct3D = made.direct3D;
    g_app.playback.device = made.device;
    LeaveCriticalSection(&g_app.process.pictureLock);
    if (!g_app.playback.device) {
        ReleaseDeviceObjects();
        return E_FAIL;
    }
    g_app.shared.deviceShowedPicture = false;
    if (g_deviceCreated) g_deviceCreated(g_app.playback.device);
    const HRESULT surface = CreatePictureSurface();
    if (FAILED(surface)) ReleaseDeviceObjects();
    return surface;
}

void ReleaseDeviceObjects() {
    // The exit-time clean-up reads these under the same lock.
    EnterCriticalSection(&g_app.process.pictureLock);
    ReleaseReference(g_app.playback.pictureSurface);
    ReleaseReference(g_app.playback.device);
    ReleaseReference(g_app.windowThread.direct3D);
    LeaveCriticalSection(&g_app.process.pictureLock);
}

void RecoverDevice(HWND window, HRESULT loss) {
    StopPlaybackWorker();
    g_app.windowThread.lastLoss = loss;
    const bool failedRecreation =
        g_app.windowThread.deviceRecreated && !g_app.shared.deviceShowedPicture.load();
    ReleaseDeviceObjects();
    if (failedRecreation &&
        NoteFailedRecreation(g_app.windowThread.recreationFailures, timeGetTime())) {
        EndAfterDeviceFailure(loss);
    }
    TryRecreation(window, loss);
}

void RetryDeviceCreation(HWND window) {
    KillTimer(window, kDeviceRetryTimer);
    if (g_app.playback.device) return;
    TryRecreation(window, g_app.windowThread.lastLoss);
}

void EndAfterDeviceFailure(HRESULT result) {
    EndWithFailure(
        DeviceFailure("the graphics device cannot be made again after a driver reset", result));
}

void SetDeviceCreatedHook(DeviceCreatedHook hook) {
    g_deviceCreated = hook;
}

#include "windows/device_recovery.h"

#include <mmsystem.h>

#include "playback/device_recovery.h"
#include "windows/app_state.h"
#include "windows/device.h"
#include "windows/failure_notice.h"
#include "windows/playback_control.h"

namespace {

DeviceCreatedHook g_deviceCreated = nullptr;

template <typename T>
void ReleaseReference(T*& reference) {
    if (reference != nullptr) reference->Release();
    reference = nullptr;
}

// A failed recreation: the next attempt after the back-off, or the end.
void RetryLater(HWND window, HRESULT failure) {
    const RetryDecision next = NoteFailedRecreation(g_app.windowThread.recovery, timeGetTime());
    if (next.giveUp) EndAfterDeviceFailure(failure);
    SetTimer(window, kDeviceRetryTimer, next.retryDelayMs, nullptr);
}

void TryRecreation(HWND window, HRESULT previous) {
    const HRESULT made = CreateDeviceObjects();
    if (SUCCEEDED(made)) {
        ResetEvent(g_app.process.frameReady);
        StartPlaybackWorker();
        return;
    }
    RetryLater(window, made != E_FAIL ? made : previous);
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

void FollowDeviceLoss(HWND window, HRESULT loss, uint32_t generation) {
    if (generation != g_app.playback.workerGeneration) return;
    RecoverDevice(window, loss);
}

void RecoverDevice(HWND window, HRESULT loss) {
    StopWorkerOrEnd();
    g_app.windowThread.lastLoss = loss;
    KillTimer(window, kDeviceRetryTimer);
    DeviceRecovery& recovery = g_app.windowThread.recovery;
    if (recovery.recovering && g_app.shared.deviceShowedPicture.load()) NoteDeviceWorks(recovery);
    // A device made during the recovery that is lost before it showed a picture never worked.
    const bool failedRecreation = recovery.recovering && g_app.playback.device != nullptr;
    ReleaseDeviceObjects();
    if (failedRecreation) {
        RetryLater(window, loss);
        return;
    }
    NoteDeviceLost(recovery, timeGetTime());
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

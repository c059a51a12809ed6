#include "windows/process_exit.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "windows/app_state.h"

namespace {

std::atomic<bool> g_workerAlive{false};
std::atomic<DWORD> g_workerThreadId{0};
std::atomic<int> g_threadsEnding{0};
thread_local bool t_ending = false;

// The clean-up handlers run one after another on the exiting thread; the first one decides.
bool g_shutdownBegun = false;
ExitPlan g_plan;

bool OtherThreadEnding() {
    return g_threadsEnding.load() - (t_ending ? 1 : 0) > 0;
}

// Waits until no other thread is inside its picture work. A thread that holds the lock while it
// ends the process itself has finished that work, and waiting for it would never end.
// A worker that holds the lock longer hangs in a device call (as the stop's own limit says).
constexpr ULONGLONG kLockWaitMs = 5000;

bool TakePictureLock() {
    const ULONGLONG until = GetTickCount64() + kLockWaitMs;
    for (;;) {
        if (TryEnterCriticalSection(&g_app.process.pictureLock)) return true;
        // A worker found hung is not waited for again; nor is any past the limit.
        if (OtherThreadEnding() || g_app.windowThread.workerUnresponsive ||
            GetTickCount64() >= until) {
            return false;
        }
        Sleep(1);
    }
}

void BeginShutdown() {
    if (g_shutdownBegun) return;
    g_shutdownBegun = true;
    const bool workerAlive = g_workerAlive.load();
    const bool callerIsWorker = workerAlive && g_workerThreadId.load() == GetCurrentThreadId();
    const bool lockTaken = TakePictureLock();
    g_plan = PlanExit(callerIsWorker, workerAlive, lockTaken);
    if (g_plan.deleteLock) {
        LeaveCriticalSection(&g_app.process.pictureLock);
        DeleteCriticalSection(&g_app.process.pictureLock);
    }
}

template <typename T>
void ReleaseOnce(T*& reference) {
    BeginShutdown();
    if (!g_plan.releaseDeviceObjects || reference == nullptr) return;
    reference->Release();
    reference = nullptr;
}

}  // namespace

ExitPlan PlanExit(bool callerIsWorker, bool workerAlive, bool lockTaken) {
    // While the worker lives, the other thread lives: the main thread when the worker exits.
    const bool otherThreadAlive = workerAlive || callerIsWorker;
    ExitPlan plan;
    plan.holdLock = lockTaken && otherThreadAlive;
    plan.deleteLock = lockTaken && !otherThreadAlive;
    // Without the lock, the thread that holds it may have stopped halfway through its picture
    // work (the surface's device context still taken): leave the objects to the system.
    plan.releaseDeviceObjects = lockTaken && (callerIsWorker || !workerAlive);
    return plan;
}

void EndProcessNow() {
    EndProcessWith(0);
}

void EndProcessWith(int status) {
    t_ending = true;
    g_threadsEnding.fetch_add(1);
    std::exit(status);
}

bool PlaybackWorkerAlive() {
    return g_workerAlive.load();
}

bool CallerIsPlaybackWorker() {
    return g_workerAlive.load() && g_workerThreadId.load() == GetCurrentThreadId();
}

void NoteWorkerStarting() {
    g_workerAlive.store(true);
}

void NoteWorkerStarted() {
    g_workerThreadId.store(GetCurrentThreadId());
    g_workerAlive.store(true);
}

void NoteWorkerEnded() {
    g_workerAlive.store(false);
}

void DeletePictureLockAtExit() {
    BeginShutdown();
}

void ReleasePictureSurfaceAtExit() {
    ReleaseOnce(g_app.playback.pictureSurface);
}

void ReleaseDeviceAtExit() {
    ReleaseOnce(g_app.playback.device);
}

void ReleaseDirect3DAtExit() {
    ReleaseOnce(g_app.windowThread.direct3D);
}

ExitPlan CurrentExitPlan() {
    return g_plan;
}

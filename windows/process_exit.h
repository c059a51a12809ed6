// Ending the process from either thread while the other one may still use the device objects.
//
// Every failure the program decides on ends the process with std::exit(0), on whichever thread
// meets it; the exit-time clean-up then runs on that thread while the other thread goes on.
// The worker renders with the device at any moment, and the presentation loop reads the picture
// surface whenever it holds pictureLock. So the clean-up:
//  1. takes pictureLock (re-entering it when the exiting thread already holds it), so that no
//     other thread is inside its picture work; when the other thread holds the lock while it is
//     itself ending the process, its picture work is over and the lock is not waited for;
//  2. when another thread is alive, keeps holding the lock until the process is gone: that thread
//     blocks at its next EnterCriticalSection and never touches the picture again. The lock is
//     then not deleted either, since that thread may be waiting on it;
//  3. releases direct3D, device and pictureSurface only when no other thread can use them: when
//     the worker has ended (or never started), or when the worker itself is the exiting thread
//     (the main thread touches the device only through the picture surface, under the lock), and
//     in both cases only when the lock was taken. While the worker lives and the main thread
//     exits, or when the lock was left to an ending thread, the objects are left to the system.
// The presentation loop needs no check of its own: the held lock parks it.
#pragma once

struct ExitPlan {
    bool holdLock = false;              // keep pictureLock until the process is gone
    bool releaseDeviceObjects = false;  // release pictureSurface, device, direct3D
    bool deleteLock = false;            // leave and delete pictureLock
};

// The clean-up's choice. `lockTaken` is false when the lock was left to a thread that is itself
// ending the process.
ExitPlan PlanExit(bool callerIsWorker, bool workerAlive, bool lockTaken);

// Ends the process with status 0 from any thread. Use it for every immediate exit, so that a
// clean-up running on the other thread need not wait for a lock that this thread holds.
[[noreturn]] void EndProcessNow();
// The same with another status; failures end through EndWithFailure (failure_notice_win32.h),
// which tells the user first and ends with 1.
[[noreturn]] void EndProcessWith(int status);

// True on the playback worker while it lives (between NoteWorkerStarted and NoteWorkerEnded).
bool CallerIsPlaybackWorker();
// True while a worker lives, or is about to (NoteWorkerStarting).
bool PlaybackWorkerAlive();

// The worker marks its life span around every use of the shared device objects. The start-up
// may call NoteWorkerStarting() just before it starts the thread, to cover the moments before
// the worker's first instruction.
void NoteWorkerStarting();
void NoteWorkerStarted();
void NoteWorkerEnded();

// Exit-time clean-up of AppState's shared objects. The start-up registers them with atexit so
// that they run in this order: DeletePictureLockAtExit, ReleasePictureSurfaceAtExit,
// ReleaseDeviceAtExit, ReleaseDirect3DAtExit (pictureLock must be initialised first).
void DeletePictureLockAtExit();
void ReleasePictureSurfaceAtExit();
void ReleaseDeviceAtExit();
void ReleaseDirect3DAtExit();

// The plan that the clean-up of this process followed; all false before it ran (for tests).
ExitPlan CurrentExitPlan();

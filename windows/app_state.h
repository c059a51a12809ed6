// The Windows player's state, in one place and grouped by who may touch it:
//  - `process`: made before the main routine and kept until its end; any thread uses them;
//  - `shared`: what the window thread and the playback worker read and write at any time, all
//    atomic;
//  - `playback`: written by the window thread while no worker runs (before a start, after a
//    stop); a worker reads it from its start to its end;
//  - `windowThread`: the window thread's own (the main routine, the window procedure, the
//    dialog and the watches); no worker touches it.
// Test programs that run a worker on a thread of their own keep the same rules.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "playback/device_recovery.h"
#include "playback/player_failure.h"
#include "render/placement.h"
#include "render/screen_cover.h"
#include "settings/monitor_list.h"
#include "settings/playback_settings.h"

struct ProcessObjects {
    HINSTANCE moduleHandle = nullptr;
    HDC screenDC = nullptr;
    // Set by the worker when a picture is handed over; the presentation loop waits on it.
    HANDLE frameReady = nullptr;
    // Set (manual reset) to end the worker's waits at once when it is asked to stop.
    HANDLE workerStop = nullptr;
    // Set (manual reset) while playing; a paused worker waits on it.
    HANDLE resume = nullptr;
    // Held while the picture surface's contents are written or read, and while it is replaced.
    CRITICAL_SECTION pictureLock{};
};

// The failure a worker met, for the window thread to tell; the first one wins. `recorded` is
// set once `failure` is written, and `failure` is not written again after that.
struct RecordedFailure {
    std::atomic<bool> recording{false};
    std::atomic<bool> recorded{false};
    PlayerFailure failure;
};

struct SharedWithWorker {
    // Cleared to stop the worker.
    std::atomic<bool> running{true};
    // The next frame the worker would play; a worker started again after a display change, a
    // pause or a new device carries on from it.
    std::atomic<int32_t> frameReached{0};
    // Set by the window thread for a pause; the worker then waits for `resume` or `workerStop`.
    std::atomic<bool> paused{false};
    // Set by the worker once it handed over a picture made on the current device.
    std::atomic<bool> deviceShowedPicture{false};
    // The tick count (made odd, never 0) at which the worker began its device calls for a
    // picture or its set-up; 0 between them. A worker that stays in them for kWorkerStopMs
    // hangs in the driver.
    std::atomic<DWORD> deviceCallsSince{0};
    RecordedFailure workerFailure;
};

struct PlaybackInputs {
    // The archive to play; empty: vek.bin beside the executable.
    std::wstring archivePath;
    // Written only by the settings dialog.
    PlaybackSettings settings;
    // The displays, and the virtual screen that the window's layout was made for.
    std::vector<DisplayEntry> displays;
    VirtualScreen virtualScreen;
    // Displays that a full-screen application covers; the worker clears them from each picture.
    std::vector<MonitorRect> coveredDisplays;
    // The overlay window, which the worker tells of a lost device or a failure, and its size.
    HWND window = nullptr;
    SIZE windowSize{0, 0};
    // Counts the workers started; a worker names its own in the messages it posts, so that a
    // message of a worker that was already replaced is told apart.
    uint32_t workerGeneration = 0;
    // The device and the picture surface the worker renders into; each reference is released
    // once at process exit.
    IDirect3DDevice9* device = nullptr;
    IDirect3DSurface9* pictureSurface = nullptr;
};

// How a failure is shown: MessageBoxW unless a test program puts something else there.
using FailureTeller = void (*)(const wchar_t* caption, const wchar_t* text);

struct WindowThreadState {
    HANDLE workerThread = nullptr;
    // PauseReason bits.
    uint32_t pauseReasons = 0;
    // The overlay's own activation (WM_ACTIVATE), when it last lost it, and whether it had it
    // as the pause began: a lock or a full-screen program takes it a moment before the notice.
    bool active = false;
    DWORD deactivatedAtMs = 0;
    bool activeAtPause = false;
    // A worker that did not stop in time (a hung driver) is not waited for again.
    bool workerUnresponsive = false;
    // Set once the player ends on a failure: the window then answers nothing of its own.
    bool ending = false;

    POINT windowPosition{0, 0};
    wchar_t windowTitle[100] = {};
    wchar_t windowClassName[100] = {};

    IDirect3D9* direct3D = nullptr;  // released once at process exit
    D3DPRESENT_PARAMETERS presentParameters{};

    // The full-screen watch: the window it serves, its event hooks and its last answer.
    HWND watchedOverlay = nullptr;
    HWINEVENTHOOK foregroundHook = nullptr;
    HWINEVENTHOOK locationHook = nullptr;
    std::optional<WindowThreadId> locationHookTarget;  // the thread `locationHook` follows
    std::vector<MonitorRect> lastCovered;

    // Device recovery: how long and how often the device could not be made again, and the loss
    // that started the recovery.
    DeviceRecovery recovery;
    HRESULT lastLoss = S_OK;

    FailureTeller teller = nullptr;  // null: the message box
};

struct AppState {
    ProcessObjects process;
    SharedWithWorker shared;
    PlaybackInputs playback;
    WindowThreadState windowThread;
};

extern AppState g_app;

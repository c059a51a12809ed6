// Process-wide state shared by the main routine, the window procedure, the settings dialog and
// the playback worker. Written on the main thread before the worker starts, except `running`.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <atomic>
#include <vector>

#include "render/placement.h"
#include "settings/monitor_list.h"
#include "settings/playback_settings.h"

struct AppState {
    // run control
    std::atomic<bool> running{true};
    HANDLE workerThread = nullptr;
    // The next frame the worker would play; a worker started again after a display change, a
    // pause or a new device carries on from it.
    std::atomic<int32_t> frameReached{0};
    // Set (manual reset) to end the worker's waits at once when it is asked to stop.
    HANDLE workerStop = nullptr;

    // pause: PauseReason bits, kept by the main thread; `paused` tells the worker, which then
    // waits until `resume` (manual reset, set while playing) or `workerStop` is set
    uint32_t pauseReasons = 0;
    std::atomic<bool> paused{false};
    HANDLE resume = nullptr;
    // Displays that a full-screen application covers; the worker clears them from each picture.
    // Written by the main thread while no worker runs.
    std::vector<MonitorRect> coveredDisplays;

    // device recovery: the worker sets this once it handed over a picture made on the device
    std::atomic<bool> deviceShowedPicture{false};

    // playback settings, written only by the settings dialog
    PlaybackSettings settings;

    // window
    HWND window = nullptr;
    POINT windowPosition{0, 0};
    SIZE windowSize{0, 0};
    wchar_t windowTitle[100] = {};
    wchar_t windowClassName[100] = {};

    // platform objects made before the main routine
    HINSTANCE moduleHandle = nullptr;
    HDC screenDC = nullptr;
    HANDLE frameReady = nullptr;
    CRITICAL_SECTION pictureLock{};

    // Direct3D 9; each reference is released once at process exit
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
    IDirect3DSurface9* pictureSurface = nullptr;
    D3DPRESENT_PARAMETERS presentParameters{};

    // displays, and the virtual screen that the window's layout was made for
    std::vector<DisplayEntry> displays;
    VirtualScreen virtualScreen;
};

extern AppState g_app;

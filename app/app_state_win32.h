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
    // The next frame the worker would play; a worker started again after a display change
    // carries on from it.
    std::atomic<int32_t> frameReached{0};

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

    // monitors, and the virtual screen that the window's layout was made for
    std::vector<DisplayEntry> displays;
    std::vector<MonitorEntry> monitors;
    VirtualScreen virtualScreen;
};

extern AppState g_app;

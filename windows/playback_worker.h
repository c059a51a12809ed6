// The playback worker: reads, composes, renders and hands over the frames of the archive (the one
// named on the command line, or vek.bin beside the executable), paced at 30 frames per second when
// asked, until `running` is cleared. It starts at g_app.shared.frameReached and keeps it up to
// date; a frame that names the same bytes as the picture last handed over is only paced. While
// g_app.shared.paused it draws nothing and waits for the resume. When the device is lost it
// releases its resources, posts kDeviceLostMessage to g_app.playback.window (wParam: the failed
// call's HRESULT, lParam: the worker's generation, g_app.playback.workerGeneration at its start)
// and ends.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

constexpr UINT kDeviceLostMessage = WM_APP + 1;

// Observers of one run, for tests; the player passes none. Each pointer may be null.
struct WorkerHooks {
    void* context = nullptr;
    void (*frameRead)(void* context, int32_t frameIndex) = nullptr;
    void (*handedOver)(void* context, int32_t frameIndex) = nullptr;
    // After the turn's pacing: the advance and the next frame index (wrapped).
    void (*advanced)(void* context, int32_t advance, int32_t nextIndex) = nullptr;
};

// The worker's run over the archive at `archivePath`, with AppState's device, picture surface,
// lock, event, window size, settings, display list and virtual screen (the layout the window
// was made for). Returns 0 once `running` is found false.
unsigned RunPlayback(const std::wstring& archivePath, const WorkerHooks* hooks);

// Thread start routine (for _beginthreadex); the argument is not used. Plays the archive chosen
// in g_app.playback.archivePath, or vek.bin beside the executable when none was chosen.
unsigned __stdcall PlaybackWorker(void* unused);

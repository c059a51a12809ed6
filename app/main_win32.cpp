// The player's entry: process set-up, the settings dialog, the overlay window, the Direct3D 9
// device and picture surface, the playback worker and the presentation loop.
#include <windows.h>
// The platform headers below need the types of <windows.h>.
#include <d3d9.h>
#include <imm.h>
#include <process.h>

#include <cstdio>
#include <cstdlib>

#include "app/app_state_win32.h"
#if defined(NOCTIVA_MEASURE)
#include "app/measure_counters_win32.h"
#endif
#include "app/overlay_window_win32.h"
#include "app/presentation_loop_win32.h"
#include "app/process_exit_win32.h"
#include "app/process_setup_win32.h"
#include "render/playback_worker_win32.h"
#include "resources/resource.h"
#include "settings/monitor_list_win32.h"
#include "settings/settings_dialog_win32.h"

namespace {

#if defined(NOCTIVA_POLLING_LOOP)
// Measurement build: the loop that never sleeps, for comparison with the blocking one.
constexpr LoopWaiting kLoopWaiting = LoopWaiting::Polling;
#else
constexpr LoopWaiting kLoopWaiting = LoopWaiting::Blocking;
#endif

void CreateDirect3DObjects() {
    g_app.direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (!g_app.direct3D) EndProcessNow();

    D3DPRESENT_PARAMETERS& p = g_app.presentParameters;
    p = D3DPRESENT_PARAMETERS{};
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = g_app.window;
    p.Windowed = TRUE;
    constexpr DWORD kBehaviour =
        D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED | D3DCREATE_FPU_PRESERVE;
    g_app.direct3D->CreateDevice(0, D3DDEVTYPE_HAL, g_app.window, kBehaviour, &p, &g_app.device);
    if (!g_app.device) EndProcessNow();

    if (FAILED(g_app.device->CreateOffscreenPlainSurface(
            static_cast<UINT>(g_app.windowSize.cx), static_cast<UINT>(g_app.windowSize.cy),
            D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &g_app.pictureSurface, nullptr))) {
        EndProcessNow();
    }
}

#if defined(NOCTIVA_MEASURE)
// Measurement build only: pictures presented, wall time, and the processor time of the process
// and of the main thread, all counted from the start of the presentation loop.
double CpuSeconds(FILETIME kernel, FILETIME user) {
    auto ticks = [](FILETIME t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return CpuSeconds(kernel, user);
}

struct Measurement {
    long presented = 0;
    ULONGLONG startMs = 0;
    double processCpu = 0;
    double mainCpu = 0;
    HANDLE mainThread = nullptr;
};
Measurement measurement;

double MainThreadCpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(measurement.mainThread, &created, &exited, &kernel, &user);
    return CpuSeconds(kernel, user);
}

void StartMeasurement() {
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                    &measurement.mainThread, 0, FALSE, DUPLICATE_SAME_ACCESS);
    measurement.startMs = GetTickCount64();
    measurement.processCpu = ProcessCpuSeconds();
    measurement.mainCpu = MainThreadCpuSeconds();
}

void ReportMeasurement() {
    const double seconds = static_cast<double>(GetTickCount64() - measurement.startMs) / 1000.0;
    std::fprintf(stderr, "measure: presented=%ld seconds=%.3f process_cpu=%.3f main_cpu=%.3f\n",
                 measurement.presented, seconds, ProcessCpuSeconds() - measurement.processCpu,
                 MainThreadCpuSeconds() - measurement.mainCpu);
    std::fflush(stderr);
}
#endif

// The main routine proper; its result is the process's exit status.
int RunPlayer(int showCommand) {
    if (RunSettingsDialog() == IDCANCEL) return 0;

    LoadStringW(g_app.moduleHandle, IDS_WINDOW_TITLE, g_app.windowTitle, 100);
    LoadStringW(g_app.moduleHandle, IDS_WINDOW_CLASS, g_app.windowClassName, 100);
    if (!CreateOverlayWindow(showCommand)) return 0;

    SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS);
    ImmAssociateContext(g_app.window, nullptr);
    BuildMonitorList(g_app.window);

    CreateDirect3DObjects();
#if defined(NOCTIVA_MEASURE)
    StartMeasureCounters(g_app.device);
#endif
    NoteWorkerStarting();
    g_app.workerThread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, PlaybackWorker, nullptr, 0, nullptr));

    PresentationState state;
    state.meter.Start();
#if defined(NOCTIVA_MEASURE)
    StartMeasurement();
    std::atexit(ReportMeasurement);
    return RunPresentationLoop(kLoopWaiting, g_app.frameReady, [&state] {
        ++measurement.presented;
        return PresentSurface(state);
    });
#else
    return RunPresentationLoop(kLoopWaiting, g_app.frameReady,
                               [&state] { return PresentSurface(state); });
#endif
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int showCommand) {
    // Set up before the main routine proper. Registering the clean-up here, after every static
    // object exists, makes it run before their destructors.
    SetUpProcess([](void (*cleanUp)()) { return std::atexit(cleanUp); });
    return RunPlayer(showCommand);
}

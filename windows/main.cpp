// The player's entry: process set-up, the settings dialog, the overlay window, the Direct3D 9
// device and picture surface, the playback worker and the presentation loop.
#include <windows.h>
// The platform headers below need the types of <windows.h>.
#include <d3d9.h>
#include <imm.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "playback/archive_argument.h"
#include "windows/app_state.h"
#include "windows/device_recovery.h"
#include "windows/failure_notice.h"
#include "windows/text_conversion.h"
#if defined(NOCTIVA_DEVICE_REMOVED_ONCE) || defined(NOCTIVA_DEVICE_HANGS) || \
    defined(NOCTIVA_SURFACE_FAILS_ONCE)
#include "windows/device_fault.h"
#endif
#if defined(NOCTIVA_MEASURE)
#include "windows/measure_counters.h"
#endif
#include "resources/resource.h"
#include "windows/overlay_window.h"
#include "windows/playback_control.h"
#include "windows/playback_worker.h"
#include "windows/presentation_loop.h"
#include "windows/process_exit.h"
#include "windows/process_setup.h"
#include "windows/resource_sampler.h"
#include "windows/settings_dialog.h"
#include "windows/system_paths.h"

namespace {

#if defined(NOCTIVA_POLLING_LOOP)
// Measurement build: the loop that never sleeps, for comparison with the blocking one.
constexpr LoopWaiting kLoopWaiting = LoopWaiting::Polling;
#else
constexpr LoopWaiting kLoopWaiting = LoopWaiting::Blocking;
#endif

void CreateDirect3DObjects() {
#if defined(NOCTIVA_DEVICE_REMOVED_ONCE)
    StartDeviceFault(DeviceFault::RemovedOnce);
#elif defined(NOCTIVA_DEVICE_HANGS)
    StartDeviceFault(DeviceFault::Hangs);
#elif defined(NOCTIVA_SURFACE_FAILS_ONCE)
    StartDeviceFault(DeviceFault::SurfaceFailsOnce);
#endif
    const HRESULT made = CreateDeviceObjects();
    if (FAILED(made)) EndWithFailure(DeviceFailure("the graphics device cannot be made", made));
}

// `noctiva.exe [ARCHIVE]`, as a shortcut or a file dropped onto the program gives it: the
// archive named, from the current directory when relative, or vek.bin beside the program.
ArchiveChoice<wchar_t> ArchiveFromCommandLine() {
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments;
    for (int i = 1; words && i < count; ++i) arguments.emplace_back(words[i]);
    if (words) LocalFree(words);
    return ChooseArchive<wchar_t>(arguments, CurrentDirectoryPath(),
                                  ArchivePathBeside(ModuleFilePath()));
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
    long presentedAtSize = 0;  // since the window last took its current size
    SIZE size{0, 0};
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
    std::fprintf(stderr,
                 "measure: presented=%ld seconds=%.3f process_cpu=%.3f main_cpu=%.3f "
                 "size=%ldx%ld presented_at_size=%ld\n",
                 measurement.presented, seconds, ProcessCpuSeconds() - measurement.processCpu,
                 MainThreadCpuSeconds() - measurement.mainCpu, measurement.size.cx,
                 measurement.size.cy, measurement.presentedAtSize);
    std::fflush(stderr);
}
#endif

// The main routine proper; its result is the process's exit status.
int RunPlayer(int showCommand) {
    const ArchiveChoice<wchar_t> archive = ArchiveFromCommandLine();
    if (archive.tooMany) EndWithFailure(ArgumentsFailure(archive.count));
    if (RunSettingsDialog() == IDCANCEL) return 0;
    // Looked at before anything is shown: a missing archive is told without an overlay.
    PlayerFailure failure;
    if (!ArchiveCanBeOpened(archive.path.c_str(), Utf8FromWide(archive.path), failure)) {
        EndWithFailure(failure);
    }
    g_app.playback.archivePath = archive.path;

    LoadStringW(g_app.process.moduleHandle, IDS_WINDOW_TITLE, g_app.windowThread.windowTitle, 100);
    LoadStringW(g_app.process.moduleHandle, IDS_WINDOW_CLASS, g_app.windowThread.windowClassName,
                100);
    if (!CreateOverlayWindow(showCommand)) {
        EndWithFailure(PlaybackFailure("the overlay window cannot be made"));
    }

    SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS);
    ImmAssociateContext(g_app.playback.window, nullptr);

    CreateDirect3DObjects();
#if defined(NOCTIVA_MEASURE)
    StartMeasureCounters(g_app.playback.device);
#endif
    StartPlaybackWorker();

    PresentationState state;
    state.meter.Start();
#if defined(NOCTIVA_SOAK)
    StartResourceSampler(60000);
#endif
#if defined(NOCTIVA_MEASURE)
    StartMeasurement();
    std::atexit(ReportMeasurement);
    const int status = RunPresentationLoop(kLoopWaiting, g_app.process.frameReady, [&state] {
        ++measurement.presented;
        if (g_app.playback.windowSize.cx != measurement.size.cx ||
            g_app.playback.windowSize.cy != measurement.size.cy) {
            measurement.size = g_app.playback.windowSize;
            measurement.presentedAtSize = 0;
        }
        ++measurement.presentedAtSize;
        return PresentSurface(state);
    });
#else
    const int status = RunPresentationLoop(kLoopWaiting, g_app.process.frameReady,
                                           [&state] { return PresentSurface(state); });
#endif
    // A worker that failed closed the window to end the loop; the failure is told here.
    if (TakeRecordedFailure(failure)) EndWithFailure(failure);
    return status;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int showCommand) {
    // Set up before the main routine proper. Registering the clean-up here, after every static
    // object exists, makes it run before their destructors.
    SetUpProcess([](void (*cleanUp)()) { return std::atexit(cleanUp); });
    return RunPlayer(showCommand);
}

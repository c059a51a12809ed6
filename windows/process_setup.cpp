#include "windows/process_setup.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <objbase.h>

#include <clocale>
#include <vector>

#include "windows/app_state.h"
#include "windows/process_exit.h"

namespace {

void EndTimerResolutionAndCom() {
    timeEndPeriod(1);
    CoUninitialize();
}

void DestroyDisplayList() {
    std::vector<DisplayEntry>().swap(g_app.playback.displays);
}

}  // namespace

void InitialisePictureLock(CRITICAL_SECTION& lock, CriticalSectionInit init) {
    if (!init(&lock, 0)) throw PictureLockInitFailure{E_OUTOFMEMORY};
}

void SetUpProcess(ExitRegistrar registerAtExit) {
    setlocale(LC_ALL, "");
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    InitCommonControls();
    timeBeginPeriod(1);
    registerAtExit(EndTimerResolutionAndCom);

    g_app.process.moduleHandle = GetModuleHandleW(nullptr);
    g_app.process.screenDC = GetDC(nullptr);
    g_app.process.frameReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g_app.process.workerStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_app.process.resume = CreateEventW(nullptr, TRUE, TRUE, nullptr);

    registerAtExit(ReleaseDirect3DAtExit);
    registerAtExit(ReleaseDeviceAtExit);
    registerAtExit(ReleasePictureSurfaceAtExit);

    InitialisePictureLock(g_app.process.pictureLock);
    registerAtExit(DeletePictureLockAtExit);

    registerAtExit(DestroyDisplayList);
}

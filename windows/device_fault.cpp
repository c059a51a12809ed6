// The fault works on the C form of the device interface, whose method table is a plain struct
// of named function pointers, so this file alone is compiled with CINTERFACE.
#define CINTERFACE
#include "windows/device_fault.h"

#include <d3d9.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "windows/device_recovery.h"

namespace {

constexpr long kFailingHandOver = 5;

DeviceFault g_fault = DeviceFault::RemovedOnce;
DWORD g_mainThread = 0;
bool g_hangInCopy = false;
std::atomic<long> g_pictureSurfaces{0};
std::atomic<long> g_surfaceFailures{0};
std::atomic<long> g_devices{0};
std::atomic<long> g_handOvers{0};
std::atomic<long> g_laterHandOvers{0};

// Every device of one process has the same methods; the table copied is the extended one, so
// that calls of the extended methods still reach the device.
IDirect3DDevice9ExVtbl g_original{};
IDirect3DDevice9ExVtbl g_faulting{};

HRESULT WINAPI FaultingGetRenderTargetData(IDirect3DDevice9Ex* self, IDirect3DSurface9* target,
                                           IDirect3DSurface9* destination) {
    // The worker of the first device ends at the failure: every later hand-over is a new one's.
    const long handOver = g_handOvers.fetch_add(1) + 1;
    if (handOver > kFailingHandOver && g_fault == DeviceFault::Hangs && g_hangInCopy) {
        // The caller holds the picture lock here.
        std::fprintf(stderr, "device-fault: hung_at=%ld in_copy=1\n", kFailingHandOver);
        std::fflush(stderr);
        for (;;) Sleep(INFINITE);
    }
    if (handOver == kFailingHandOver && g_fault == DeviceFault::RemovedOnce) {
        return D3DERR_DEVICEREMOVED;
    }
    if (handOver > kFailingHandOver) g_laterHandOvers.fetch_add(1);
    return g_original.GetRenderTargetData(self, target, destination);
}

HRESULT WINAPI HangingColorFill(IDirect3DDevice9Ex* self, IDirect3DSurface9* surface,
                                const RECT* rect, D3DCOLOR colour) {
    if (!g_hangInCopy && g_handOvers.load() >= kFailingHandOver) {
        std::fprintf(stderr, "device-fault: hung_at=%ld\n", kFailingHandOver);
        std::fflush(stderr);
        for (;;) Sleep(INFINITE);
    }
    return g_original.ColorFill(self, surface, rect, colour);
}

// The picture surfaces are made on the main thread; the worker's staging surfaces are not.
HRESULT WINAPI FailingCreateOffscreenPlainSurface(IDirect3DDevice9Ex* self, UINT width, UINT height,
                                                  D3DFORMAT format, D3DPOOL pool,
                                                  IDirect3DSurface9** surface, HANDLE* shared) {
    if (GetCurrentThreadId() == g_mainThread && g_pictureSurfaces.fetch_add(1) == 1) {
        g_surfaceFailures.fetch_add(1);
        return D3DERR_DEVICELOST;
    }
    return g_original.CreateOffscreenPlainSurface(self, width, height, format, pool, surface,
                                                  shared);
}

void ReportSurfaceFailures() {
    std::fprintf(stderr, "device-fault: devices=%ld surface_failures=%ld\n", g_devices.load(),
                 g_surfaceFailures.load());
    std::fflush(stderr);
}

void Report() {
    std::fprintf(stderr, "device-fault: devices=%ld removed_at=%ld handovers_after=%ld\n",
                 g_devices.load(), kFailingHandOver, g_laterHandOvers.load());
    std::fflush(stderr);
}

void OnDeviceCreated(IDirect3DDevice9* device) {
    if (g_devices.fetch_add(1) == 0) {
        std::memcpy(&g_original, device->lpVtbl, sizeof(IDirect3DDevice9ExVtbl));
        g_faulting = g_original;
        g_faulting.GetRenderTargetData = FaultingGetRenderTargetData;
        if (g_fault == DeviceFault::Hangs) g_faulting.ColorFill = HangingColorFill;
        if (g_fault == DeviceFault::SurfaceFailsOnce) {
            g_faulting.CreateOffscreenPlainSurface = FailingCreateOffscreenPlainSurface;
        }
    }
    device->lpVtbl = reinterpret_cast<IDirect3DDevice9Vtbl*>(&g_faulting);
}

}  // namespace

void StartDeviceFault(DeviceFault fault) {
    g_fault = fault;
    g_mainThread = GetCurrentThreadId();
    wchar_t where[8] = {};
    g_hangInCopy =
        GetEnvironmentVariableW(L"NOCTIVA_HANG_IN", where, 8) > 0 && lstrcmpW(where, L"copy") == 0;
    SetDeviceCreatedHook(OnDeviceCreated);
    if (fault == DeviceFault::RemovedOnce) std::atexit(Report);
    if (fault == DeviceFault::SurfaceFailsOnce) std::atexit(ReportSurfaceFailures);
}

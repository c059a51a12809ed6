// The counters work on the C form of the device interface, whose method table is a plain struct
// of named function pointers, so this file alone is compiled with CINTERFACE.
#define CINTERFACE
#include "windows/measure_counters.h"

#include <d3d9.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
}

namespace {

// Plain atomics: counting must not allocate, and the worker counts while the main thread reads.
std::atomic<DWORD> g_mainThread{0};
std::atomic<long> g_allocations{0};
std::atomic<long> g_creations{0};

struct Split {
    long frames = 0;
    long first = 0;
    long later = 0;
    long laterMax = 0;
    long previous = 0;

    void HandOver(long now) {
        if (++frames == 1) {
            first = now;
        } else {
            later += now - previous;
            if (now - previous > laterMax) laterMax = now - previous;
        }
        previous = now;
    }
};
Split g_allocationSplit;
Split g_creationSplit;

void CountAllocation() {
    if (GetCurrentThreadId() != g_mainThread.load(std::memory_order_relaxed)) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
}

// The device's own methods. The table copied is the extended one when the device has it, so
// that calls of the extended methods still reach the device.
IDirect3DDevice9ExVtbl g_original{};
IDirect3DDevice9ExVtbl g_counting{};

// One hook per creating method: count, then pass the call on unchanged.
template <typename Field>
struct CountingHook;
template <typename... Args>
struct CountingHook<HRESULT (WINAPI* IDirect3DDevice9ExVtbl::*)(IDirect3DDevice9Ex*, Args...)> {
    template <HRESULT (WINAPI* IDirect3DDevice9ExVtbl::*Method)(IDirect3DDevice9Ex*, Args...)>
    static HRESULT WINAPI Call(IDirect3DDevice9Ex* self, Args... args) {
        g_creations.fetch_add(1, std::memory_order_relaxed);
        return (g_original.*Method)(self, args...);
    }
};
#define COUNT_CREATIONS(table, method)                                              \
    (table).method = CountingHook<decltype(&IDirect3DDevice9ExVtbl::method)>::Call< \
        &IDirect3DDevice9ExVtbl::method>

// The hand-over copies the finished picture once per frame: the frame boundary.
HRESULT WINAPI CountingGetRenderTargetData(IDirect3DDevice9Ex* self, IDirect3DSurface9* target,
                                           IDirect3DSurface9* destination) {
    g_allocationSplit.HandOver(g_allocations.load(std::memory_order_relaxed));
    g_creationSplit.HandOver(g_creations.load(std::memory_order_relaxed));
    return g_original.GetRenderTargetData(self, target, destination);
}

void ReportCounters() {
    std::fprintf(stderr,
                 "measure-worker: worker_frames=%ld first_allocs=%ld later_allocs=%ld "
                 "later_allocs_max=%ld first_creations=%ld later_creations=%ld "
                 "later_creations_max=%ld\n",
                 g_allocationSplit.frames, g_allocationSplit.first, g_allocationSplit.later,
                 g_allocationSplit.laterMax, g_creationSplit.first, g_creationSplit.later,
                 g_creationSplit.laterMax);
    std::fflush(stderr);
}

bool IsExtendedDevice(IDirect3DDevice9* device) {
    static const GUID kExtendedDevice = {
        0xb18b10ce, 0x2649, 0x405a, {0x87, 0x0f, 0x95, 0xf7, 0x77, 0xd4, 0x31, 0x3a}};
    void* extended = nullptr;
    if (FAILED(device->lpVtbl->QueryInterface(device, kExtendedDevice, &extended))) return false;
    static_cast<IUnknown*>(extended)->lpVtbl->Release(static_cast<IUnknown*>(extended));
    return true;
}

}  // namespace

extern "C" {
void* __wrap_malloc(size_t size) {
    CountAllocation();
    return __real_malloc(size);
}
void* __wrap_calloc(size_t count, size_t size) {
    CountAllocation();
    return __real_calloc(count, size);
}
void* __wrap_realloc(void* block, size_t size) {
    CountAllocation();
    return __real_realloc(block, size);
}
}

void StartMeasureCounters(IDirect3DDevice9* device) {
    g_mainThread.store(GetCurrentThreadId());
    const bool extended = IsExtendedDevice(device);
    std::memcpy(&g_original, device->lpVtbl,
                extended ? sizeof(IDirect3DDevice9ExVtbl) : sizeof(IDirect3DDevice9Vtbl));
    g_counting = g_original;
    IDirect3DDevice9ExVtbl& t = g_counting;
    COUNT_CREATIONS(t, CreateTexture);
    COUNT_CREATIONS(t, CreateVolumeTexture);
    COUNT_CREATIONS(t, CreateCubeTexture);
    COUNT_CREATIONS(t, CreateVertexBuffer);
    COUNT_CREATIONS(t, CreateIndexBuffer);
    COUNT_CREATIONS(t, CreateRenderTarget);
    COUNT_CREATIONS(t, CreateDepthStencilSurface);
    COUNT_CREATIONS(t, CreateOffscreenPlainSurface);
    if (extended) {
        COUNT_CREATIONS(t, CreateRenderTargetEx);
        COUNT_CREATIONS(t, CreateOffscreenPlainSurfaceEx);
        COUNT_CREATIONS(t, CreateDepthStencilSurfaceEx);
    }
    t.GetRenderTargetData = CountingGetRenderTargetData;
    device->lpVtbl = reinterpret_cast<IDirect3DDevice9Vtbl*>(&g_counting);
    std::atexit(ReportCounters);
}

#include "windows/resource_sampler.h"

#include <psapi.h>

#include <cstdint>
#include <cstdio>

namespace {

void PrintSample(unsigned seconds) {
    const ResourceSample s = SampleResources();
    std::fprintf(
        stderr, "soak: seconds=%u private=%llu working_set=%llu handles=%lu gdi=%lu user=%lu\n",
        seconds, static_cast<unsigned long long>(s.privateBytes),
        static_cast<unsigned long long>(s.workingSet), s.handles, s.gdiObjects, s.userObjects);
    std::fflush(stderr);
}

DWORD WINAPI SampleForever(void* period) {
    const DWORD periodMs = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(period));
    for (unsigned sample = 0;; ++sample) {
        PrintSample(static_cast<unsigned>(uint64_t{sample} * periodMs / 1000));
        Sleep(periodMs);
    }
}

}  // namespace

ResourceSample SampleResources() {
    ResourceSample s;
    HANDLE process = GetCurrentProcess();
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof(memory))) {
        // Wine leaves PrivateUsage at 0; PagefileUsage is the same commit charge on Windows.
        s.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
        s.workingSet = memory.WorkingSetSize;
    }
    GetProcessHandleCount(process, &s.handles);
    s.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
    s.userObjects = GetGuiResources(process, GR_USEROBJECTS);
    return s;
}

void StartResourceSampler(DWORD periodMs) {
    HANDLE thread =
        CreateThread(nullptr, 0, SampleForever,
                     reinterpret_cast<void*>(static_cast<UINT_PTR>(periodMs)), 0, nullptr);
    if (thread) CloseHandle(thread);
}

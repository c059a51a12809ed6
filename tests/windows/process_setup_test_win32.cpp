// The process-wide set-up and its exit-time clean-up, run with a registrar that records the
// clean-up instead of handing it to atexit, so that the test can run it and look.
#include <windows.h>
// The platform headers below need the types of <windows.h>.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "windows/app_state.h"
#include "windows/process_exit.h"
#include "windows/process_setup.h"

namespace {

// ---- the picture lock ----

BOOL WINAPI InitFails(LPCRITICAL_SECTION, DWORD) {
    return FALSE;
}

int initCalls;
BOOL WINAPI InitSucceeds(LPCRITICAL_SECTION lock, DWORD spin) {
    ++initCalls;
    return InitializeCriticalSectionAndSpinCount(lock, spin);
}

TEST(InitialisePictureLock, RaisesOutOfMemoryOnlyWhenTheSystemCannot) {
    {
        SCOPED_TRACE("initialisation fails");
        CRITICAL_SECTION lock;
        bool raised = false;
        try {
            InitialisePictureLock(lock, InitFails);
        } catch (const PictureLockInitFailure& failure) {
            raised = true;
            EXPECT_EQ(failure.result, E_OUTOFMEMORY);
        }
        EXPECT_TRUE(raised);
    }
    {
        SCOPED_TRACE("initialisation succeeds");
        CRITICAL_SECTION lock;
        initCalls = 0;
        EXPECT_NO_THROW(InitialisePictureLock(lock, InitSucceeds));
        EXPECT_EQ(initCalls, 1);
        EnterCriticalSection(&lock);
        LeaveCriticalSection(&lock);
        DeleteCriticalSection(&lock);
    }
}

// ---- set-up and clean-up ----

std::vector<void (*)()> registered;

int Record(void (*cleanUp)()) {
    registered.push_back(cleanUp);
    return 0;
}

// Stands in for a Direct3D reference: the clean-up only ever calls Release.
std::vector<std::string> releases;

struct FakeReference : IUnknown {
    explicit FakeReference(const char* name) : name(name) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override {
        releases.push_back(name);
        return 0;
    }
    const char* name;
};

TEST(SetUpProcess, MakesTheProcessObjectsAndCleansUpInReverseOrder) {
    registered.clear();
    SetUpProcess(Record);

    EXPECT_EQ(g_app.process.moduleHandle, GetModuleHandleW(nullptr));
    ASSERT_NE(g_app.process.screenDC, nullptr);
    EXPECT_GT(GetDeviceCaps(g_app.process.screenDC, HORZRES), 0);

    // Unnamed, auto-reset, initially not set.
    ASSERT_NE(g_app.process.frameReady, nullptr);
    EXPECT_EQ(WaitForSingleObject(g_app.process.frameReady, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(g_app.process.frameReady);
    EXPECT_EQ(WaitForSingleObject(g_app.process.frameReady, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(g_app.process.frameReady, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    // Manual reset: the worker's stop starts unset, the resume of a pause set (playing).
    ASSERT_NE(g_app.process.workerStop, nullptr);
    ASSERT_NE(g_app.process.resume, nullptr);
    EXPECT_EQ(WaitForSingleObject(g_app.process.workerStop, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(g_app.process.resume, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(g_app.process.resume, 0), WAIT_OBJECT_0);

    EXPECT_TRUE(TryEnterCriticalSection(&g_app.process.pictureLock));
    LeaveCriticalSection(&g_app.process.pictureLock);

    // The shared objects' releases, registered in the order of creation.
    ASSERT_EQ(registered.size(), 6u);
    EXPECT_EQ(registered[1], &ReleaseDirect3DAtExit);
    EXPECT_EQ(registered[2], &ReleaseDeviceAtExit);
    EXPECT_EQ(registered[3], &ReleasePictureSurfaceAtExit);
    EXPECT_EQ(registered[4], &DeletePictureLockAtExit);

    FakeReference direct3D("direct3D"), device("device"), surface("pictureSurface");
    g_app.windowThread.direct3D = reinterpret_cast<IDirect3D9*>(static_cast<IUnknown*>(&direct3D));
    g_app.playback.device = reinterpret_cast<IDirect3DDevice9*>(static_cast<IUnknown*>(&device));
    g_app.playback.pictureSurface =
        reinterpret_cast<IDirect3DSurface9*>(static_cast<IUnknown*>(&surface));
    g_app.playback.displays.assign(3, DisplayEntry{});

    // What atexit would do: the last registered first.
    releases.clear();
    for (auto it = registered.rbegin(); it != registered.rend(); ++it) {
        (*it)();
        if (it == registered.rbegin()) {
            SCOPED_TRACE("after the first clean-up");
            EXPECT_EQ(g_app.playback.displays.capacity(), 0u);
        }
    }
    const std::vector<std::string> expected = {"pictureSurface", "device", "direct3D"};
    EXPECT_EQ(releases, expected);
    EXPECT_EQ(g_app.windowThread.direct3D, nullptr);
    EXPECT_EQ(g_app.playback.device, nullptr);
    EXPECT_EQ(g_app.playback.pictureSurface, nullptr);
}

}  // namespace

#include "tests/windows/render_test_env.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "windows/app_state.h"
#include "windows/failure_notice.h"
#include "windows/process_exit.h"
#include "windows/text_conversion.h"

namespace {

TestDevice g_shared;

std::map<std::string, ChildScenario>& Scenarios() {
    static std::map<std::string, ChildScenario> scenarios;
    return scenarios;
}

// Runs last at exit (registered first): what the clean-up decided and did.
void ReportCleanUp() {
    const ExitPlan plan = CurrentExitPlan();
    std::printf("clean-up hold=%d release=%d delete=%d device=%s surface=%s\n", plan.holdLock,
                plan.releaseDeviceObjects, plan.deleteLock,
                g_app.playback.device == nullptr ? "released" : "kept",
                g_app.playback.pictureSurface == nullptr ? "released" : "kept");
    std::fflush(stdout);
}

}  // namespace

void SharedDeviceEnvironment::SetUp() {
    g_shared = CreateTestDevice(64, 64);
    ASSERT_NE(g_shared.device, nullptr) << "no Direct3D 9 device with flags 0x26";
}

void SharedDeviceEnvironment::TearDown() {
    ReleaseTestDevice(g_shared);
}

IDirect3DDevice9* SharedDevice() {
    return g_shared.device;
}

DrawTarget CreateDrawTarget(IDirect3DDevice9* device, int32_t width, int32_t height) {
    DrawTarget target;
    if (FAILED(device->CreateRenderTarget(width, height, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0,
                                          TRUE, &target.renderTarget, nullptr))) {
        return target;
    }
    target.picture = CreatePictureSurface(device, width, height);
    return target;
}

void ReleaseDrawTarget(DrawTarget& target) {
    if (target.picture != nullptr) target.picture->Release();
    if (target.renderTarget != nullptr) target.renderTarget->Release();
    target = {};
}

std::vector<uint32_t> ReadDrawTarget(IDirect3DDevice9* device, const DrawTarget& target) {
    if (FAILED(device->GetRenderTargetData(target.renderTarget, target.picture))) return {};
    return ReadSurface(target.picture);
}

TestPictureOutput::TestPictureOutput(IDirect3DDevice9* device, int32_t width, int32_t height) {
    InitializeCriticalSection(&lock);
    output.device = device;
    output.pictureSurface = CreatePictureSurface(device, width, height);
    output.pictureLock = &lock;
    output.frameReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    output.width = width;
    output.height = height;
}

TestPictureOutput::~TestPictureOutput() {
    if (output.pictureSurface != nullptr) output.pictureSurface->Release();
    CloseHandle(output.frameReady);
    DeleteCriticalSection(&lock);
}

ChildScenarioRegistration::ChildScenarioRegistration(const char* name, ChildScenario scenario) {
    Scenarios()[name] = scenario;
}

int RunChildScenario(const char* name, int argc, char** argv) {
    auto found = Scenarios().find(name);
    if (found == Scenarios().end()) {
        std::fprintf(stderr, "unknown child scenario %s\n", name);
        return 99;
    }
    return found->second(argc, argv);
}

void Say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

// A failure told in a child goes to standard output instead of a message box nobody closes.
void PrintFailure(const wchar_t* caption, const wchar_t* text) {
    std::printf("told: %s | %s\n", Utf8FromWide(caption).c_str(), Utf8FromWide(text).c_str());
    std::fflush(stdout);
}

bool StartChildLikeThePlayer(int32_t width, int32_t height) {
    SetFailureTeller(PrintFailure);
    std::atexit(ReportCleanUp);
    g_app.process.frameReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atexit(ReleaseDirect3DAtExit);
    std::atexit(ReleaseDeviceAtExit);
    std::atexit(ReleasePictureSurfaceAtExit);
    InitializeCriticalSection(&g_app.process.pictureLock);
    std::atexit(DeletePictureLockAtExit);
    TestDevice made = CreateTestDevice(width, height);
    g_app.playback.window = made.window;
    g_app.windowThread.direct3D = made.direct3D;
    g_app.playback.device = made.device;
    g_app.playback.windowSize = {width, height};
    StandOnOneDisplay(width, height);
    if (g_app.playback.device == nullptr) return false;
    g_app.playback.pictureSurface = CreatePictureSurface(g_app.playback.device, width, height);
    return g_app.playback.pictureSurface != nullptr;
}

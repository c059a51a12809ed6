// Immediate exits from either thread while the other one still renders or presents. Each case
// runs in a child process made like the player: AppState's device, picture surface, lock and
// event, the exit-time clean-up registered in start-up order, a worker that renders and hands
// over, and a main thread that takes the picture surface's device context under the lock.
#include "windows/process_exit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "render/compose.h"
#include "tests/windows/render_test_env.h"
#include "windows/app_state.h"
#include "windows/failure_notice.h"
#include "windows/frame_renderer.h"

namespace {

TEST(ProcessExit, PlanKeepsWhatAnotherLiveThreadMayStillUse) {
    struct Case {
        bool callerIsWorker, workerAlive, lockTaken;
        bool hold, release, remove;
    };
    const Case cases[] = {
        // The worker exits: the main thread lives on, so the lock is kept; the device objects
        // are free, since the main thread uses them only under the lock.
        {true, true, true, true, true, false},
        // The lock was left to the main thread, which ends the process too, perhaps with the
        // surface's device context still taken: nothing is released.
        {true, true, false, false, false, false},
        // The main thread exits while the worker renders: nothing of the device is released.
        {false, true, true, true, false, false},
        {false, true, false, false, false, false},
        // The worker has ended or never started: everything goes.
        {false, false, true, false, true, true},
        {false, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "caller is worker " << c.callerIsWorker << ", worker alive "
                     << c.workerAlive << ", lock taken " << c.lockTaken);
        const ExitPlan plan = PlanExit(c.callerIsWorker, c.workerAlive, c.lockTaken);
        EXPECT_EQ(plan.holdLock, c.hold);
        EXPECT_EQ(plan.releaseDeviceObjects, c.release);
        EXPECT_EQ(plan.deleteLock, c.remove);
    }
}

// ---- the child side ----

constexpr int32_t kWidth = 160, kHeight = 90, kFrameW = 48, kFrameH = 36;

bool StartLikeThePlayer() {
    return StartChildLikeThePlayer(kWidth, kHeight);
}

PictureOutput AppOutput() {
    return {g_app.playback.device,    g_app.playback.pictureSurface, &g_app.process.pictureLock,
            g_app.process.frameReady, g_app.playback.windowSize.cx,  g_app.playback.windowSize.cy};
}

// How a child scenario's worker and main thread behave.
struct Script {
    int workerExitAfter = 0;         // > 0: the worker ends the process after so many frames
    int mainExitAfter = 0;           // > 0: the main thread ends it while presenting that frame
    bool stopAndJoin = false;        // the main thread stops the worker after 5 frames and returns
    const char* failCall = nullptr;  // a device call of the worker that fails ...
    int failOccurrence = 0;          // ... at this occurrence
};

Script g_script;
std::atomic<int> g_framesDone{0};
std::atomic<bool> g_stop{false};

void PlayLike();

// Like the player's worker, it tells a failed device call once the renderer has thrown it.
DWORD WINAPI WorkerLike(void*) {
    NoteWorkerStarted();
    try {
        PlayLike();
    } catch (const DeviceCallFailed& failed) {
        EndWithFailure(DeviceFailure(failed.what, failed.result));
    }
    NoteWorkerEnded();
    return 0;
}

void PlayLike() {
    DeviceCallRecorder* recorder = nullptr;
    if (g_script.failCall != nullptr) {
        recorder = new DeviceCallRecorder(g_app.playback.device);
        recorder->FailCall(g_script.failCall, g_script.failOccurrence);
    }
    const PictureOutput output = AppOutput();
    FrameResources resources = SetUpFrameResources(output, kFrameW, kFrameH);
    Say("set-up done");
    const std::vector<Placement> placements = {PlaceArea(0, 0, kWidth, kHeight, kFrameW, kFrameH)};
    std::vector<uint8_t> frame(size_t(kFrameW) * kFrameH);
    for (int n = 1; !g_stop.load(); ++n) {
        for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(i * 7 + n);
        ComposeFrame(frame.data(), kFrameW, kFrameH, 200, resources.shadowBuffer.data(),
                     resources.cutoutBuffer.data());
        RenderFrame(resources, g_app.playback.device, placements, 60);
        std::printf("frame %d rendered\n", n);
        HandOverFrame(resources, output);
        std::printf("frame %d handed over\n", n);
        std::fflush(stdout);
        g_framesDone.store(n);
        if (n == g_script.workerExitAfter) EndProcessNow();
    }
    ReleaseFrameResources(resources);
    delete recorder;
}

// The presentation loop's picture work: device context of the surface under the lock.
void PresentOnce(int frame) {
    EnterCriticalSection(&g_app.process.pictureLock);
    HDC dc = nullptr;
    if (FAILED(g_app.playback.pictureSurface->GetDC(&dc))) EndProcessNow();
    volatile COLORREF seen = GetPixel(dc, frame % kWidth, frame % kHeight);
    (void)seen;
    if (frame == g_script.mainExitAfter) EndProcessNow();  // as after a failed ReleaseDC
    if (FAILED(g_app.playback.pictureSurface->ReleaseDC(dc))) EndProcessNow();
    LeaveCriticalSection(&g_app.process.pictureLock);
}

int PlayerLikeChild(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        if (std::sscanf(argv[i], "worker-exit=%d", &g_script.workerExitAfter) == 1) continue;
        if (std::sscanf(argv[i], "main-exit=%d", &g_script.mainExitAfter) == 1) continue;
        if (std::strcmp(argv[i], "stop-and-join") == 0) g_script.stopAndJoin = true;
        if (std::strncmp(argv[i], "fail=", 5) == 0) {
            static std::string name;
            name = argv[i] + 5;
            const size_t colon = name.find(':');
            g_script.failOccurrence = std::atoi(name.c_str() + colon + 1);
            name.resize(colon);
            g_script.failCall = name.c_str();
        }
    }
    if (!StartLikeThePlayer()) return 2;
    NoteWorkerStarting();
    HANDLE worker = CreateThread(nullptr, 0, WorkerLike, nullptr, 0, nullptr);
    if (worker == nullptr) return 3;
    for (int presented = 1;; ++presented) {
        // Poll like the presentation loop; also end when nothing comes any more.
        DWORD waited = 0;
        while (WaitForSingleObject(g_app.process.frameReady, 0) != WAIT_OBJECT_0) {
            Sleep(1);
            if (++waited > 20000) return 4;
        }
        PresentOnce(presented);
        if (g_script.stopAndJoin && g_framesDone.load() >= 5) {
            g_stop.store(true);
            WaitForSingleObject(worker, INFINITE);
            CloseHandle(worker);
            Say("worker joined");
            return 0;
        }
    }
}
REGISTER_CHILD_SCENARIO("player-like", PlayerLikeChild);

// Both threads end the process, in the worst order: the main thread holds the lock, the worker
// starts ending the process (its clean-up must wait for the lock), and then the main thread
// ends it too, still holding the lock, and so waits for the worker's exit to finish.
std::atomic<bool> g_mainHoldsLock{false};
std::atomic<bool> g_workerEnding{false};

DWORD WINAPI EndWhenLockHeld(void*) {
    NoteWorkerStarted();
    while (!g_mainHoldsLock.load()) Sleep(1);
    Say("worker ending");
    g_workerEnding.store(true);
    EndProcessNow();
}

int BothExitChild(int, char**) {
    if (!StartLikeThePlayer()) return 2;
    HANDLE worker = CreateThread(nullptr, 0, EndWhenLockHeld, nullptr, 0, nullptr);
    if (worker == nullptr) return 3;
    EnterCriticalSection(&g_app.process.pictureLock);
    g_mainHoldsLock.store(true);
    while (!g_workerEnding.load()) Sleep(1);
    Sleep(300);  // let the worker's clean-up reach the lock
    Say("main ending");
    EndProcessNow();
}
REGISTER_CHILD_SCENARIO("both-exit", BothExitChild);

// ---- the parent side ----

struct ChildRun {
    int status = -1;
    std::string output;
};

ChildRun RunPlayerLike(const std::string& scenario, const std::string& arguments) {
    ChildRun run;
    std::wstring wide(arguments.begin(), arguments.end());
    std::wstring name(scenario.begin(), scenario.end());
    run.status = RunChild(ModulePath(), L"--child=" + name + L" " + wide, 60000, &run.output);
    return run;
}

bool Has(const std::string& output, const std::string& text) {
    return output.find(text) != std::string::npos;
}

TEST(ProcessExit, EitherThreadEndsTheProcessCleanly) {
    struct Case {
        const char* arguments;
        const char* cleanUp;  // the clean-up's report line
        const char* seen;     // output that must be there
    };
    const Case cases[] = {
        // The worker ends the process between frames while the main thread presents.
        {"worker-exit=3", "clean-up hold=1 release=1 delete=0 device=released surface=released",
         "frame 3 handed over"},
        // The main thread ends it holding the lock and the surface's device context, while the
        // worker renders on: the worker's device objects stay.
        {"main-exit=2", "clean-up hold=1 release=0 delete=0 device=kept surface=kept",
         "frame 2 handed over"},
        // The ordinary end: the worker was stopped and joined before the main thread returned.
        {"stop-and-join", "clean-up hold=0 release=1 delete=1 device=released surface=released",
         "worker joined"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ChildRun run = RunPlayerLike("player-like", c.arguments);
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_TRUE(Has(run.output, c.cleanUp)) << run.output;
        EXPECT_TRUE(Has(run.output, c.seen)) << run.output;
    }
}

TEST(ProcessExit, BothThreadsEndingAtOnceDoNotDeadlock) {
    const ChildRun run = RunPlayerLike("both-exit", "");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(Has(run.output, "main ending")) << run.output;
    // The worker's clean-up went ahead without the lock, which the ending main thread held, and
    // left the device objects alone.
    EXPECT_TRUE(Has(run.output, "clean-up hold=0 release=0 delete=0 device=kept")) << run.output;
}

TEST(ProcessExit, AFailedDeviceCallIsToldAndEndsTheProcessAtThatStep) {
    struct Case {
        const char* failure;
        const char* lastSeen;  // the last progress line that must appear
        const char* notSeen;   // the first that must not
    };
    const Case cases[] = {
        {"fail=CreateTexture:1", nullptr, "set-up done"},  // shadow quad none
        {"fail=CreateTexture:3", nullptr, "set-up done"},  // white quad none
        {"fail=CreateRenderTarget:1", nullptr, "set-up done"},
        {"fail=SetSamplerState:4", nullptr, "set-up done"},
        {"fail=CreateOffscreenPlainSurface:1", nullptr, "set-up done"},  // shadow staging
        {"fail=UpdateSurface:1", nullptr, "set-up done"},  // the shadow level's first write
        {"fail=UpdateSurface:4", nullptr, "set-up done"},  // the white texel
        // Set-up writes three levels whole and the white texel, then two uploads per frame.
        {"fail=UpdateSurface:6", "set-up done", "frame 1 rendered"},  // frame 1's cut-out
        {"fail=UpdateSurface:7", "frame 1 handed over", "frame 2 rendered"},
        {"fail=ColorFill:1", "set-up done", "frame 1 rendered"},
        {"fail=DrawPrimitiveUP:2", "set-up done", "frame 1 rendered"},  // the white quad
        {"fail=EndScene:2", "frame 1 handed over", "frame 2 rendered"},
        // With the lock held: the clean-up re-enters it on the same thread.
        {"fail=GetRenderTargetData:2", "frame 2 rendered", "frame 2 handed over"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failure);
        const ChildRun run = RunPlayerLike("player-like", c.failure);
        // Told, in the words of a failed device call, and ended with status 1.
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_TRUE(Has(run.output, "told: Tessarine PV Noctiva | ")) << run.output;
        EXPECT_TRUE(Has(run.output, "(error 0x")) << run.output;
        if (c.lastSeen != nullptr) {
            EXPECT_TRUE(Has(run.output, c.lastSeen)) << run.output;
        }
        EXPECT_FALSE(Has(run.output, c.notSeen)) << run.output;
        EXPECT_TRUE(Has(run.output, "clean-up hold=1 release=1")) << run.output;
    }
}

}  // namespace

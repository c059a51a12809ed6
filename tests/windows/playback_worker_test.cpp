#include "windows/playback_worker.h"

#include <gtest/gtest.h>
#include <process.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "playback/frame_clock.h"
#include "render/software_renderer.h"
#include "tests/windows/render_test_env.h"
#include "windows/app_state.h"
#include "windows/failure_notice.h"
#include "windows/text_conversion.h"

namespace {

constexpr int32_t kWidth = 96, kHeight = 72, kFrameW = 12, kFrameH = 9;

// Frame i is flat grey 30 * i + 10, so a picture tells which frame it shows.
uint8_t GreyOf(int32_t index) {
    return uint8_t(30 * index + 10);
}

// Frame i shows flat picture sequence[i] (frame i's own when the sequence is empty); frames of
// one picture share its stream.
std::wstring WriteFlatArchive(const std::wstring& directory, int32_t frames,
                              std::vector<int32_t> sequence = {}) {
    if (sequence.empty()) {
        for (int32_t i = 0; i < frames; ++i) sequence.push_back(i);
    }
    std::vector<std::vector<uint8_t>> content;
    for (int32_t i = 0; i < frames; ++i) {
        content.emplace_back(size_t(kFrameW) * kFrameH, GreyOf(i));
    }
    const std::wstring path = directory + L"vek.bin";
    return WriteArchive(path, kFrameW, kFrameH, content, sequence) ? path : std::wstring();
}

// A clock whose every reading lies 301 ticks after the previous one, at 3,000 ticks per second
// (a period of 100 ticks): every pacer wait finds itself three periods late and returns 3.
class SkippingClock : public ClockSource {
  public:
    int64_t Counter() override { return 301 * readings++; }
    int64_t Frequency() override { return 3000; }
    void Sleep(uint32_t) override { ++sleeps; }
    int64_t readings = 0;
    int sleeps = 0;
};

// The platform's clock, with its sleeps counted.
class CountingClock : public ClockSource {
  public:
    int64_t Counter() override { return PlatformClockSource().Counter(); }
    int64_t Frequency() override { return PlatformClockSource().Frequency(); }
    void Sleep(uint32_t ms) override {
        sleeps.fetch_add(1);
        PlatformClockSource().Sleep(ms);
    }
    std::atomic<int> sleeps{0};
};

// What the hooks saw. Clears `running` after `stopAfter` turns (0: never).
struct Observed {
    std::vector<int32_t> reads;
    std::vector<int32_t> handOvers;
    std::vector<int32_t> advances;
    std::atomic<int> handOverCount{0};
    int32_t lastNext = -1;  // the next frame index after the last turn
    int stopAfter = 0;
};

WorkerHooks HooksFor(Observed& observed) {
    WorkerHooks hooks;
    hooks.context = &observed;
    hooks.frameRead = [](void* context, int32_t index) {
        static_cast<Observed*>(context)->reads.push_back(index);
    };
    hooks.handedOver = [](void* context, int32_t index) {
        auto* o = static_cast<Observed*>(context);
        o->handOvers.push_back(index);
        o->handOverCount.fetch_add(1);
    };
    hooks.advanced = [](void* context, int32_t advance, int32_t next) {
        auto* o = static_cast<Observed*>(context);
        o->advances.push_back(advance);
        o->lastNext = next;
        if (int(o->advances.size()) == o->stopAfter) g_app.shared.running.store(false);
    };
    return hooks;
}

std::string Sequence(const std::vector<int32_t>& values) {
    std::string text;
    for (int32_t v : values) text += std::to_string(v) + " ";
    return text;
}

int WorstDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    int worst = a.size() == b.size() ? 0 : 256;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            worst = std::max(worst,
                             std::abs(int((a[i] >> shift) & 0xFF) - int((b[i] >> shift) & 0xFF)));
        }
    }
    return worst;
}

// AppState as the main routine leaves it for the worker, on the shared device.
class PlaybackWorkerTest : public testing::Test {
  protected:
    void SetUp() override {
        static bool lockMade = false;
        if (!lockMade) InitializeCriticalSection(&g_app.process.pictureLock);
        lockMade = true;
        ASSERT_NE(SharedDevice(), nullptr);
        g_app.playback.device = SharedDevice();
        g_app.playback.pictureSurface =
            CreatePictureSurface(g_app.playback.device, kWidth, kHeight);
        ASSERT_NE(g_app.playback.pictureSurface, nullptr);
        g_app.process.frameReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        g_app.playback.windowSize = {kWidth, kHeight};
        g_app.playback.settings = PlaybackSettings{};
        g_app.playback.settings.displayMode = ChosenMonitor;
        g_app.playback.settings.monitorIndex = 0;
        g_app.playback.settings.shadowOpacity = 210;
        g_app.playback.settings.backgroundOpacity = 40;
        StandOnOneDisplay(kWidth, kHeight);
        g_app.shared.running.store(true);
        g_app.shared.frameReached.store(0);
        directory = MakeTempDirectory(L"worker");
        ASSERT_FALSE(directory.empty());
    }
    void TearDown() override {
        UseClockSource(nullptr);
        if (g_app.playback.pictureSurface != nullptr) g_app.playback.pictureSurface->Release();
        g_app.playback.pictureSurface = nullptr;
        g_app.playback.device = nullptr;
        CloseHandle(g_app.process.frameReady);
        g_app.process.frameReady = nullptr;
        g_app.shared.running.store(true);
    }

    // The picture the software renderer makes of frame `index` with the test's settings.
    std::vector<uint32_t> ExpectedPicture(int32_t index) {
        const std::vector<uint8_t> frame(size_t(kFrameW) * kFrameH, GreyOf(index));
        SoftwareRenderer renderer(kFrameW, kFrameH, kWidth, kHeight,
                                  {PlaceArea(0, 0, kWidth, kHeight, kFrameW, kFrameH)});
        std::vector<uint32_t> picture(size_t(kWidth) * kHeight);
        renderer.Render(frame.data(), g_app.playback.settings.shadowOpacity,
                        g_app.playback.settings.backgroundOpacity, picture.data());
        return picture;
    }

    std::wstring directory;
};

// Frames are read, rendered and handed over only when their stream differs from the one of the
// picture last handed over; every turn is paced and advances all the same.
TEST_F(PlaybackWorkerTest, FrameIndexAdvancesWrapsAndPaces) {
    struct Case {
        const char* name;
        int32_t frames;
        bool limitFps;
        int turns;
        std::vector<int32_t> reads;          // frame indices read, turn by turn
        int32_t advance;                     // of every turn
        std::vector<int32_t> pictures = {};  // the picture of each frame; empty: all distinct
        int32_t startAt = 0;                 // the frame a previous worker reached
    };
    const Case cases[] = {
        {"one frame, uncapped: shown once", 1, false, 4, {0}, 1},
        {"one frame, capped and late", 1, true, 4, {0}, 3},
        {"uncapped, one by one", 4, false, 10, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1}, 1},
        // N - 2 + 3 lands on frame 0, not on the remainder 1.
        {"skip past the end", 5, true, 5, {0, 3, 0, 3, 0}, 3},
        {"skip to the last frame", 7, true, 5, {0, 3, 6, 0, 3}, 3},
        {"repeated stills, across the wrap", 6, false, 8, {0, 3, 5, 0}, 1, {0, 0, 0, 1, 1, 2}},
        {"a repeat of the last picture over the wrap", 4, false, 6, {0, 2, 3}, 1, {0, 0, 1, 0}},
        // Frame 3 repeats frame 2 but not frame 0, the picture on screen: it is read.
        {"skipping onto a run", 7, true, 5, {0, 3, 6, 0, 3}, 3, {0, 1, 1, 1, 2, 2, 2}},
        {"skipping within one picture", 7, true, 5, {0}, 3, {0, 1, 2, 0, 1, 2, 0}},
        {"carries on from the frame reached", 4, false, 3, {2, 3, 0}, 1, {}, 2},
        {"a reached frame past the end starts over", 3, false, 2, {0, 1}, 1, {}, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring archive = WriteFlatArchive(directory, c.frames, c.pictures);
        ASSERT_FALSE(archive.empty());
        g_app.shared.frameReached.store(c.startAt);
        SkippingClock skipping;
        CountingClock counting;
        if (c.limitFps) {
            UseClockSource(&skipping);
        } else {
            UseClockSource(&counting);
        }
        g_app.playback.settings.limitFps = c.limitFps;
        g_app.shared.running.store(true);
        ResetEvent(g_app.process.frameReady);
        Observed observed;
        observed.stopAfter = c.turns;
        const WorkerHooks hooks = HooksFor(observed);
        EXPECT_EQ(RunPlayback(archive, &hooks), 0u);
        UseClockSource(nullptr);

        EXPECT_EQ(observed.reads, c.reads) << "read " << Sequence(observed.reads);
        EXPECT_EQ(observed.handOvers, c.reads) << "handed over " << Sequence(observed.handOvers);
        EXPECT_EQ(observed.advances, std::vector<int32_t>(c.turns, c.advance))
            << "advances " << Sequence(observed.advances);
        // A late pacer never sleeps; without the cap only a turn that showed nothing does.
        const int idleTurns = c.limitFps ? 0 : c.turns - int(c.reads.size());
        EXPECT_EQ(skipping.sleeps + counting.sleeps.load(), idleTurns);
        EXPECT_EQ(g_app.shared.frameReached.load(), observed.lastNext)
            << "where a new worker goes on";
        EXPECT_EQ(WaitForSingleObject(g_app.process.frameReady, 0), DWORD(WAIT_OBJECT_0));
        // The picture surface holds the last frame read, with the settings' opacities.
        const int32_t last = c.reads.back();
        const int32_t picture = c.pictures.empty() ? last : c.pictures[size_t(last)];
        const int worst =
            WorstDifference(ReadSurface(g_app.playback.pictureSurface), ExpectedPicture(picture));
        EXPECT_LE(worst, 3) << "picture of frame " << last;
    }
}

TEST_F(PlaybackWorkerTest, UncappedPlaybackNeverSleeps) {
    const std::wstring archive = WriteFlatArchive(directory, 3);
    ASSERT_FALSE(archive.empty());
    CountingClock counting;
    UseClockSource(&counting);
    g_app.playback.settings.limitFps = false;
    Observed observed;
    observed.stopAfter = 12;
    const WorkerHooks hooks = HooksFor(observed);
    RunPlayback(archive, &hooks);
    EXPECT_EQ(observed.handOverCount.load(), 12);
    EXPECT_EQ(counting.sleeps.load(), 0);
    // The same archive capped to 30 frames per second does sleep between its frames.
    g_app.playback.settings.limitFps = true;
    g_app.shared.running.store(true);
    Observed capped;
    capped.stopAfter = 3;
    const WorkerHooks cappedHooks = HooksFor(capped);
    RunPlayback(archive, &cappedHooks);
    EXPECT_GT(counting.sleeps.load(), 0);
}

ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST_F(PlaybackWorkerTest, RunningAlreadyFalseReadsAndHandsOverNothing) {
    const std::wstring archive = WriteFlatArchive(directory, 2);
    ASSERT_FALSE(archive.empty());
    const ULONG deviceReferences = References(g_app.playback.device);
    const std::vector<uint32_t> before = ReadSurface(g_app.playback.pictureSurface);
    g_app.shared.running.store(false);
    Observed observed;
    const WorkerHooks hooks = HooksFor(observed);
    EXPECT_EQ(RunPlayback(archive, &hooks), 0u);
    EXPECT_TRUE(observed.reads.empty()) << Sequence(observed.reads);
    EXPECT_TRUE(observed.handOvers.empty());
    EXPECT_EQ(WaitForSingleObject(g_app.process.frameReady, 0), DWORD(WAIT_TIMEOUT));
    EXPECT_EQ(ReadSurface(g_app.playback.pictureSurface), before) << "the picture was not touched";
    EXPECT_EQ(References(g_app.playback.device), deviceReferences)
        << "every device resource released";
}

struct ThreadRun {
    std::wstring archive;
    const WorkerHooks* hooks;
};

unsigned __stdcall RunOnThread(void* argument) {
    auto* run = static_cast<ThreadRun*>(argument);
    return RunPlayback(run->archive, run->hooks);
}

TEST_F(PlaybackWorkerTest, ClearingRunningEndsTheWorkerWithinOneTurn) {
    const std::wstring archive = WriteFlatArchive(directory, 3);
    ASSERT_FALSE(archive.empty());
    g_app.playback.settings.limitFps = true;
    Observed observed;
    const WorkerHooks hooks = HooksFor(observed);
    ThreadRun run{archive, &hooks};
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunOnThread, &run, 0, nullptr));
    ASSERT_NE(thread, nullptr);
    while (observed.handOverCount.load() < 3) Sleep(1);
    g_app.shared.running.store(false);
    const int atClear = observed.handOverCount.load();
    // Liveness, not speed: one turn at 30 frames per second takes some 33 ms.
    const DWORD ended = WaitForSingleObject(thread, 10000);
    EXPECT_EQ(ended, DWORD(WAIT_OBJECT_0)) << "the worker did not end";
    if (ended != WAIT_OBJECT_0) TerminateThread(thread, 1);
    CloseHandle(thread);
    EXPECT_LE(observed.handOverCount.load(), atClear + 1)
        << "at most the turn under way is finished";
    EXPECT_EQ(observed.reads.size(), observed.handOvers.size()) << "a begun turn is finished";
    // A late pacer can land on the frame on screen again, which is paced but not handed over.
    EXPECT_GE(observed.advances.size(), observed.handOvers.size()) << "and paced";
}

// A clock on which showing a picture takes `showTicks` milliseconds (one tick each): without the
// cap a repeat then sleeps as long, up to a second.
class ShowTimingClock : public ClockSource {
  public:
    explicit ShowTimingClock(int64_t showTicks) : showTicks(showTicks) {}
    int64_t Counter() override { return now += showTicks; }
    int64_t Frequency() override { return 1000; }
    void Sleep(uint32_t ms) override { sleeps.push_back(ms); }
    int64_t showTicks;
    int64_t now = 0;
    std::vector<uint32_t> sleeps;
};

TEST_F(PlaybackWorkerTest, AnUncappedRepeatSleepsAsLongAsTheLastPictureTook) {
    const std::wstring archive = WriteFlatArchive(directory, 1);
    ASSERT_FALSE(archive.empty());
    g_app.playback.settings.limitFps = false;
    const struct {
        int64_t showTicks;
        uint32_t sleep;
    } cases[] = {{40, 40}, {1, 1}, {5000, 1000}};
    for (const auto& c : cases) {
        ShowTimingClock clock(c.showTicks);
        UseClockSource(&clock);
        g_app.shared.running.store(true);
        Observed observed;
        observed.stopAfter = 4;
        const WorkerHooks hooks = HooksFor(observed);
        RunPlayback(archive, &hooks);
        UseClockSource(nullptr);
        EXPECT_EQ(observed.handOverCount.load(), 1);
        EXPECT_EQ(clock.sleeps, std::vector<uint32_t>(3, c.sleep))
            << "showing took " << c.showTicks << " ms";
    }
}

TEST_F(PlaybackWorkerTest, APausedWorkerDrawsNothingUntilTheResumeAndGoesOnFromTheFrameReached) {
    const std::wstring archive = WriteFlatArchive(directory, 5);
    ASSERT_FALSE(archive.empty());
    g_app.playback.settings.limitFps = true;
    g_app.process.workerStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_app.process.resume = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_app.shared.frameReached.store(3);
    g_app.shared.paused.store(true);
    Observed observed;
    const WorkerHooks hooks = HooksFor(observed);
    ThreadRun run{archive, &hooks};
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunOnThread, &run, 0, nullptr));
    ASSERT_NE(thread, nullptr);
    Sleep(300);
    EXPECT_EQ(observed.handOverCount.load(), 0) << "drew while paused";
    g_app.shared.paused.store(false);
    SetEvent(g_app.process.resume);
    while (observed.handOverCount.load() < 2) Sleep(1);
    // A pause under way, then a stop: the stop ends the wait.
    ResetEvent(g_app.process.resume);
    g_app.shared.paused.store(true);
    Sleep(100);
    g_app.shared.running.store(false);
    SetEvent(g_app.process.workerStop);
    const DWORD ended = WaitForSingleObject(thread, 10000);
    EXPECT_EQ(ended, DWORD(WAIT_OBJECT_0)) << "the stop did not end the paused worker";
    if (ended != WAIT_OBJECT_0) TerminateThread(thread, 1);
    CloseHandle(thread);
    ASSERT_GE(observed.handOvers.size(), 2u);
    EXPECT_EQ(observed.handOvers[0], 3) << "did not go on from the frame reached";
    g_app.shared.paused.store(false);
    CloseHandle(g_app.process.workerStop);
    CloseHandle(g_app.process.resume);
    g_app.process.workerStop = g_app.process.resume = nullptr;
}

// ---- child processes: archives that end the process, and the real thread entry ----

int WorkerArchiveChild(int argc, char** argv) {
    if (argc < 1 || !StartChildLikeThePlayer(kWidth, kHeight)) return 2;
    g_app.playback.settings.displayMode = ChosenMonitor;
    StandOnOneDisplay(kWidth, kHeight);
    g_app.playback.settings.limitFps = false;
    Observed observed;
    WorkerHooks hooks = HooksFor(observed);
    hooks.handedOver = [](void*, int32_t index) {
        std::printf("handed over %d\n", index);
        std::fflush(stdout);
    };
    observed.stopAfter = 0;
    const std::string path = argv[0];
    RunPlayback(std::wstring(path.begin(), path.end()), &hooks);
    Say("worker returned");
    return 5;
}
REGISTER_CHILD_SCENARIO("worker-archive", WorkerArchiveChild);

// Memory running out inside a turn, as a frame's allocation would report it.
int WorkerOutOfMemoryChild(int argc, char** argv) {
    if (argc < 1 || !StartChildLikeThePlayer(kWidth, kHeight)) return 2;
    g_app.playback.settings.displayMode = ChosenMonitor;
    StandOnOneDisplay(kWidth, kHeight);
    WorkerHooks hooks;
    hooks.frameRead = [](void*, int32_t) { throw std::bad_alloc(); };
    const std::string path = argv[0];
    RunPlayback(std::wstring(path.begin(), path.end()), &hooks);
    Say("worker returned");
    return 5;
}
REGISTER_CHILD_SCENARIO("worker-out-of-memory", WorkerOutOfMemoryChild);

// The player's own entry, started as the main routine starts it, finding vek.bin beside this
// executable.
int RealEntryChild(int, char**) {
    if (!StartChildLikeThePlayer(kWidth, kHeight)) return 2;
    g_app.playback.settings.displayMode = ChosenMonitor;
    StandOnOneDisplay(kWidth, kHeight);
    g_app.playback.settings.shadowOpacity = 255;
    g_app.playback.settings.backgroundOpacity = 0;
    HANDLE worker =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, PlaybackWorker, nullptr, 0, nullptr));
    if (worker == nullptr) return 3;
    if (WaitForSingleObject(g_app.process.frameReady, 20000) != WAIT_OBJECT_0) return 4;
    Say("picture arrived");
    EnterCriticalSection(&g_app.process.pictureLock);
    const std::vector<uint32_t> picture = ReadSurface(g_app.playback.pictureSurface);
    LeaveCriticalSection(&g_app.process.pictureLock);
    // The archive holds one black frame: opaque black over the whole window.
    const bool black = !picture.empty() && std::all_of(picture.begin(), picture.end(),
                                                       [](uint32_t p) { return p == 0xFF000000u; });
    Say(black ? "picture is opaque black" : "picture is not opaque black");
    g_app.shared.running.store(false);
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    Say("worker ended");
    return 0;
}
REGISTER_CHILD_SCENARIO("real-entry", RealEntryChild);

struct ChildRun {
    int status = -1;
    std::string output;
};

ChildRun RunProgram(const std::wstring& exe, const std::wstring& arguments) {
    ChildRun run;
    run.status = RunChild(exe, arguments, 60000, &run.output);
    return run;
}

bool Has(const std::string& output, const std::string& text) {
    return output.find(text) != std::string::npos;
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

TEST(PlaybackWorkerProcess, UnreadableArchivesAreToldAndEndTheProcessWithStatusOne) {
    const std::wstring directory = MakeTempDirectory(L"broken");
    ASSERT_FALSE(directory.empty());
    std::vector<std::vector<uint8_t>> frames(3, std::vector<uint8_t>(size_t(kFrameW) * kFrameH));
    for (size_t i = 0; i < frames.size(); ++i) {
        std::fill(frames[i].begin(), frames[i].end(), uint8_t(80 * i));
    }
    // Frame 2's stream damaged in place: its last bytes (the Adler-32 trailer) flipped.
    const std::wstring damaged = directory + L"damaged.bin";
    ASSERT_TRUE(WriteArchive(damaged, kFrameW, kFrameH, frames));
    {
        HANDLE file = CreateFileW(damaged.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const LONG size = LONG(GetFileSize(file, nullptr));
        uint8_t tail[2];
        DWORD done = 0;
        SetFilePointer(file, size - 2, nullptr, FILE_BEGIN);
        ReadFile(file, tail, 2, &done, nullptr);
        tail[0] ^= 0xFF, tail[1] ^= 0x55;
        SetFilePointer(file, size - 2, nullptr, FILE_BEGIN);
        WriteFile(file, tail, 2, &done, nullptr);
        CloseHandle(file);
    }
    const std::wstring empty = directory + L"empty.bin";
    ASSERT_TRUE(WriteArchive(empty, kFrameW, kFrameH, {}));

    struct Case {
        const char* name;
        std::wstring path;
        int handedOver;      // frames handed over before the process ends
        const char* reason;  // in the message, after the file's name
    };
    const Case cases[] = {
        {"missing archive", directory + L"absent.bin", 0, "not found"},
        {"no frames", empty, 0, "archive holds no frames"},
        {"frame 2 damaged", damaged, 2, "frame 2 cannot be decoded: wrong Adler-32 checksum"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ChildRun run =
            RunProgram(ModulePath(), L"--child=worker-archive \"" + c.path + L"\"");
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_TRUE(Has(run.output, "told: Tessarine PV Noctiva | ")) << run.output;
        EXPECT_TRUE(Has(run.output, c.reason)) << run.output;
        EXPECT_TRUE(Has(run.output, Utf8FromWide(c.path))) << "the file is named\n" << run.output;
        for (int i = 0; i < 3; ++i) {
            const std::string line = "handed over " + std::to_string(i);
            EXPECT_EQ(Has(run.output, line), i < c.handedOver) << line << "\n" << run.output;
        }
        EXPECT_FALSE(Has(run.output, "worker returned")) << run.output;
        EXPECT_TRUE(Has(run.output, "clean-up")) << "the exit-time clean-up ran\n" << run.output;
    }
}

TEST(PlaybackWorkerProcess, RunningOutOfMemoryIsToldAndEndsTheProcessWithStatusOne) {
    const std::wstring directory = MakeTempDirectory(L"memory");
    ASSERT_FALSE(directory.empty());
    const std::wstring archive = WriteFlatArchive(directory, 1);
    ASSERT_FALSE(archive.empty());
    const ChildRun run =
        RunProgram(ModulePath(), L"--child=worker-out-of-memory \"" + archive + L"\"");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(Has(run.output, "not enough memory for the picture")) << run.output;
    EXPECT_FALSE(Has(run.output, "worker returned")) << run.output;
    EXPECT_TRUE(Has(run.output, "clean-up")) << run.output;
}

TEST(PlaybackWorkerProcess, ThePlayerEntryPlaysTheArchiveBesideTheExecutable) {
    struct Case {
        const char* name;
        bool withArchive;
    };
    const Case cases[] = {{"archive beside", true}, {"no archive beside", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring directory = MakeTempDirectory(L"entry");
        ASSERT_FALSE(directory.empty());
        const std::wstring exe = directory + L"player-copy.exe";
        ASSERT_TRUE(CopyFileW(ModulePath().c_str(), exe.c_str(), FALSE));
        if (c.withArchive) {
            ASSERT_TRUE(WriteArchive(directory + L"vek.bin", kFrameW, kFrameH,
                                     {std::vector<uint8_t>(size_t(kFrameW) * kFrameH, 0)}));
        }
        // The archive beside the test program itself must not be the one found.
        const ChildRun run = RunProgram(exe, L"--child=real-entry");
        // Without an archive the worker tells that it is not found and ends with status 1.
        EXPECT_EQ(run.status, c.withArchive ? 0 : 1) << Narrow(exe) << "\n" << run.output;
        EXPECT_EQ(Has(run.output, "vek.bin"), !c.withArchive) << run.output;
        EXPECT_EQ(Has(run.output, "not found"), !c.withArchive) << run.output;
        EXPECT_EQ(Has(run.output, "picture arrived"), c.withArchive) << run.output;
        if (c.withArchive) {
            EXPECT_TRUE(Has(run.output, "picture is opaque black")) << run.output;
            EXPECT_TRUE(Has(run.output, "worker ended")) << run.output;
        }
    }
}

}  // namespace

// The Linux player's worker against real archives: the pictures it hands over, the repeated-
// frame rule, display changes, and the one-line reasons for archives it cannot read.
#include "linux/playback_worker.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archive_test_support.h"
#include "render/overlay_layout.h"
#include "render/software_renderer.h"

using namespace archive_test;

namespace {

constexpr uint32_t kW = 8;
constexpr uint32_t kH = 6;

const std::vector<DisplayEntry> kOneDisplay = {{0, 0, 64, 36, true}};
const std::vector<DisplayEntry> kWiderDisplay = {{0, 0, 80, 36, true}};

// Records the reasons the worker gives instead of ending the process.
struct Failures {
    std::mutex lock;
    std::vector<std::string> reasons;
    // The worker ends its run after the first failure; this waits for that report.
    void WaitForOne() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            {
                std::lock_guard<std::mutex> hold(lock);
                if (!reasons.empty()) return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    PlaybackThread::FailureHandler Handler() {
        return [this](const PlayerFailure& failure) {
            std::lock_guard<std::mutex> hold(lock);
            reasons.push_back(FailureLine(failure));
        };
    }
};

PlaybackSettings Unpaced() {
    PlaybackSettings settings;
    settings.limitFps = false;
    settings.shadowOpacity = 200;
    settings.backgroundOpacity = 40;
    return settings;
}

// The window-sized target that the presentation loop would own.
struct Target {
    std::vector<uint32_t> pixels;
    int32_t width = 0;
    int32_t height = 0;
};

Target AttachTarget(PictureHandover& handover, const std::vector<DisplayEntry>& displays) {
    const OverlayLayout layout =
        LayOutOverlay(PlaybackSettings{}, displays, BoundingScreen(displays), 0, 0);
    Target target{std::vector<uint32_t>(size_t(layout.width) * size_t(layout.height)), layout.width,
                  layout.height};
    std::lock_guard<std::mutex> hold(handover.Lock());
    handover.SetTargetLocked(target.pixels.data(), target.width, target.height);
    return target;
}

bool WaitForWakeUp(PictureHandover& handover) {
    pollfd fd{handover.WakeDescriptor(), POLLIN, 0};
    return poll(&fd, 1, 5000) == 1 && handover.TakeWakeUp();
}

void RunUntil(const PlaybackThread& worker, uint64_t turns) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (worker.TurnsTaken() < turns && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
}

}  // namespace

TEST(PlaybackWorker, HandsOverTheSoftwareRenderersPictureOfTheFirstFrame) {
    const Bytes frame = Pattern(kW * kH, 3);
    TempFile archive(ArchiveOf(kW, kH, {Deflate(frame)}));
    PictureHandover handover;
    Target target = AttachTarget(handover, kOneDisplay);
    PlaybackSettings settings = Unpaced();
    settings.limitFps = true;  // one picture, then a pause of a frame period
    Failures failures;
    PlaybackThread worker(archive.path.string(), settings, handover, failures.Handler());
    worker.Start(kOneDisplay);
    ASSERT_TRUE(WaitForWakeUp(handover));
    worker.Stop();

    const OverlayLayout layout =
        LayOutOverlay(settings, kOneDisplay, BoundingScreen(kOneDisplay), kW, kH);
    std::vector<uint32_t> expected(target.pixels.size());
    SoftwareRenderer renderer(kW, kH, layout.width, layout.height, layout.placements);
    renderer.Render(frame.data(), settings.shadowOpacity, settings.backgroundOpacity,
                    expected.data());
    std::lock_guard<std::mutex> hold(handover.Lock());
    EXPECT_EQ(target.pixels, expected);
    EXPECT_TRUE(failures.reasons.empty());
}

// Frames that name the same stream as the frame shown before them are not rendered again; the
// turn still counts, so the animation keeps its time.
TEST(PlaybackWorker, SkipsFramesThatRepeatTheShownOne) {
    const Bytes a = Deflate(Pattern(kW * kH, 1));
    const Bytes b = Deflate(Pattern(kW * kH, 2));
    Bytes data = a;
    data.insert(data.end(), b.begin(), b.end());
    const auto sizeA = uint32_t(a.size());
    const auto sizeB = uint32_t(b.size());
    struct Case {
        const char* name;
        std::vector<Entry> entries;
        // Pictures after `turns` turns.
        uint64_t (*pictures)(uint64_t turns);
    };
    const Case cases[] = {
        {"A A B: two pictures every three turns",
         {{0, sizeA}, {0, sizeA}, {sizeA, sizeB}},
         [](uint64_t t) { return t - (t + 1) / 3; }},
        {"A B: every turn a picture", {{0, sizeA}, {sizeA, sizeB}}, [](uint64_t t) { return t; }},
        {"one frame: a single picture", {{0, sizeA}}, [](uint64_t) { return uint64_t{1}; }},
        {"A A with the same bytes stored twice: every turn (offsets differ)",
         {{0, sizeA}, {sizeA + sizeB, sizeA}},
         [](uint64_t t) { return t; }},
    };
    Bytes twice = data;
    twice.insert(twice.end(), a.begin(), a.end());
    for (const Case& c : cases) {
        TempFile archive(LayOut(kW, kH, c.entries, twice));
        PictureHandover handover;
        Target target = AttachTarget(handover, kOneDisplay);
        Failures failures;
        PlaybackThread worker(archive.path.string(), Unpaced(), handover, failures.Handler());
        worker.Start(kOneDisplay);
        RunUntil(worker, 30);
        worker.Stop();
        const uint64_t turns = worker.TurnsTaken();
        EXPECT_EQ(worker.PicturesHandedOver(), c.pictures(turns))
            << c.name << ", " << turns << " turns";
        EXPECT_TRUE(failures.reasons.empty()) << c.name;
    }
}

TEST(PlaybackWorker, DisplayChangeRendersTheRepeatedFrameAtTheNewSize) {
    TempFile archive(ArchiveOf(kW, kH, {Deflate(Pattern(kW * kH, 5))}));
    PictureHandover handover;
    Target target = AttachTarget(handover, kOneDisplay);
    Failures failures;
    PlaybackThread worker(archive.path.string(), Unpaced(), handover, failures.Handler());
    worker.Start(kOneDisplay);
    ASSERT_TRUE(WaitForWakeUp(handover));
    RunUntil(worker, 20);
    EXPECT_EQ(worker.PicturesHandedOver(), 1u) << "the one frame repeats itself";

    // The loop sizes its picture first; the worker's next turn renders at that size.
    Target wider = AttachTarget(handover, kWiderDisplay);
    worker.ChangeDisplays(kWiderDisplay);
    ASSERT_TRUE(WaitForWakeUp(handover));
    RunUntil(worker, worker.TurnsTaken() + 20);
    worker.Stop();
    EXPECT_EQ(worker.PicturesHandedOver(), 2u);
    std::lock_guard<std::mutex> hold(handover.Lock());
    EXPECT_NE(wider.pixels.back(), 0u) << "the wider picture reaches its last pixel";
}

TEST(PictureHandover, APictureOfAnotherSizeIsDroppedAndWakesNobody) {
    PictureHandover handover;
    std::vector<uint32_t> target(4 * 3, 0);
    {
        std::lock_guard<std::mutex> hold(handover.Lock());
        handover.SetTargetLocked(target.data(), 4, 3);
    }
    const std::vector<uint32_t> small(3 * 3, 0x11223344u);
    handover.HandOver(small.data(), 3, 3);
    EXPECT_FALSE(handover.TakeWakeUp());
    EXPECT_EQ(target[0], 0u);

    const std::vector<uint32_t> fitting(4 * 3, 0x55667788u);
    handover.HandOver(fitting.data(), 4, 3);
    handover.HandOver(fitting.data(), 4, 3);
    EXPECT_TRUE(handover.TakeWakeUp());
    EXPECT_FALSE(handover.TakeWakeUp()) << "two hand-overs wake the loop once";
    EXPECT_EQ(target, fitting);
}

TEST(PlaybackWorker, ArchivesItCannotReadGiveOneReasonAndNoPicture) {
    const Bytes good = Deflate(Pattern(kW * kH, 7));
    Bytes damaged = good;
    damaged[damaged.size() - 1] ^= 0xFF;  // the Adler-32 check fails
    struct Case {
        const char* name;
        Bytes content;
        const char* reason;
    };
    const Case cases[] = {
        {"header cut short", Bytes(10, 0),
         ": not a frame archive (file shorter than its 16-byte header)"},
        {"no frames", ArchiveOf(kW, kH, {}), ": archive holds no frames"},
        {"damaged stream", ArchiveOf(kW, kH, {damaged}),
         ": frame 0 cannot be decoded: wrong Adler-32 checksum"},
    };
    for (const Case& c : cases) {
        TempFile archive(c.content);
        PictureHandover handover;
        Target target = AttachTarget(handover, kOneDisplay);
        Failures failures;
        PlaybackThread worker(archive.path.string(), Unpaced(), handover, failures.Handler());
        worker.Start(kOneDisplay);
        failures.WaitForOne();
        worker.Stop();
        ASSERT_EQ(failures.reasons.size(), 1u) << c.name;
        const std::string& reason = failures.reasons[0];
        EXPECT_EQ(reason.rfind(archive.path.string() + ": ", 0), 0u) << c.name << ": " << reason;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.name << ": " << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos) << c.name;
        EXPECT_EQ(worker.PicturesHandedOver(), 0u) << c.name;
    }

    Failures missing;
    PictureHandover handover;
    PlaybackThread worker("/nonexistent/vek.bin", Unpaced(), handover, missing.Handler());
    worker.Start(kOneDisplay);
    missing.WaitForOne();
    worker.Stop();
    ASSERT_EQ(missing.reasons.size(), 1u);
    EXPECT_EQ(missing.reasons[0], "/nonexistent/vek.bin: not found");
}

// Paused, the worker takes no turn at all (no timer either); it goes on when resumed, and a
// stop while paused ends it at once.
TEST(PlaybackWorker, PausedTakesNoTurnsAndStopsAtOnce) {
    const Bytes a = Deflate(Pattern(kW * kH, 1));
    const Bytes b = Deflate(Pattern(kW * kH, 2));
    Bytes data = a;
    data.insert(data.end(), b.begin(), b.end());
    TempFile archive(
        LayOut(kW, kH, {{0, uint32_t(a.size())}, {uint32_t(a.size()), uint32_t(b.size())}}, data));
    PictureHandover handover;
    Target target = AttachTarget(handover, kOneDisplay);
    Failures failures;
    PlaybackThread worker(archive.path.string(), Unpaced(), handover, failures.Handler());
    worker.Start(kOneDisplay);
    RunUntil(worker, 10);

    worker.SetPaused(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the turn under way ends
    const uint64_t pausedAt = worker.TurnsTaken();
    const uint64_t picturesAt = worker.PicturesHandedOver();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(worker.TurnsTaken(), pausedAt);
    EXPECT_EQ(worker.PicturesHandedOver(), picturesAt);

    worker.SetPaused(false);
    RunUntil(worker, pausedAt + 10);
    EXPECT_GE(worker.TurnsTaken(), pausedAt + 10) << "resumed";

    worker.SetPaused(true);
    const auto start = std::chrono::steady_clock::now();
    worker.Stop();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::milliseconds(500)) << "a stop while paused";
    EXPECT_TRUE(failures.reasons.empty());
}

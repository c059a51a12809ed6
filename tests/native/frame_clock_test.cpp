#include "playback/frame_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "playback/frame_turn.h"

namespace {

// A counter that advances only when read or slept on, so every wait runs the same way each time.
class ScriptedClock : public ClockSource {
  public:
    explicit ScriptedClock(int64_t ticksPerSecond) : frequency(ticksPerSecond) {}

    int64_t Counter() override {
        ++counterReads;
        const int64_t value = now;
        now += pollStep;
        return value;
    }

    int64_t Frequency() override {
        ++frequencyReads;
        return frequency;
    }

    void Sleep(uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        now += static_cast<int64_t>(milliseconds) * (frequency / 1000) + sleepOvershoot;
    }

    int64_t frequency;
    int64_t now = 0;
    int64_t pollStep = 1;        // ticks that pass between two readings
    int64_t sleepOvershoot = 0;  // ticks a sleep lasts beyond what was asked
    int counterReads = 0;
    int frequencyReads = 0;
    std::vector<uint32_t> sleeps;
};

// Installs a clock source for one test and restores the platform's afterwards.
class UsingClock {
  public:
    explicit UsingClock(ClockSource* source) { UseClockSource(source); }
    ~UsingClock() { UseClockSource(nullptr); }
};

constexpr int64_t kTenMegahertz = 10'000'000;
constexpr int64_t kPeriod = 333'333;  // 10,000,000 / 30, truncated
constexpr int64_t kMillisecond = 10'000;

// A pacer started at `start` on the clock, with the clock's counters reset afterwards.
FramePacer PacerStartedAt(ScriptedClock& clock, int64_t start) {
    clock.now = start;
    FramePacer pacer;
    pacer.Start();
    clock.counterReads = 0;
    clock.sleeps.clear();
    return pacer;
}

TEST(FramePacer, StartSetsThePaceFromTheFrequency) {
    struct Case {
        int64_t frequency;
        int64_t period;
    };
    // A frequency that is not a multiple of 30 truncates the period: the pace is a little fast.
    const Case cases[] = {
        {kTenMegahertz, 333'333}, {1'000'000'000, 33'333'333}, {3'579'545, 119'318}, {30, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frequency);
        ScriptedClock clock(c.frequency);
        UsingClock using_clock(&clock);
        clock.now = 123'456;
        FramePacer pacer;
        pacer.Start();
        EXPECT_EQ(pacer.fps, 30);
        EXPECT_EQ(pacer.last, 123'456);
        EXPECT_EQ(pacer.period, c.period);
        EXPECT_LE(pacer.period * 30, c.frequency);
    }
}

TEST(FramePacer, WorkedExampleEarlySleepsElevenMillisecondsThenPolls) {
    ScriptedClock clock(kTenMegahertz);
    UsingClock using_clock(&clock);
    FramePacer pacer = PacerStartedAt(clock, 5'000'000);
    const int64_t deadline = 5'000'000 + kPeriod;
    // 12.5 ms early; the sleep ends half a millisecond late, as timer sleeps do.
    clock.now = deadline - 125'000;
    clock.sleepOvershoot = kMillisecond / 2;
    clock.pollStep = 7;

    EXPECT_EQ(pacer.Wait(), 1);
    EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{11});
    // It polled through the last millisecond until the deadline had passed.
    EXPECT_GT(clock.counterReads, 2);
    EXPECT_GE(clock.now, deadline);
    EXPECT_EQ(pacer.last, deadline);
}

TEST(FramePacer, SleepsAllButTheLastMillisecond) {
    struct Case {
        int64_t remaining;  // ticks before the deadline at entry
        uint32_t firstSleep;
    };
    const Case cases[] = {{125'000, 11}, {kPeriod, 32}, {30'000, 2}, {20'001, 1},
                          {20'000, 1},   {19'999, 0},   {10'001, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.remaining);
        ScriptedClock clock(kTenMegahertz);
        UsingClock using_clock(&clock);
        FramePacer pacer = PacerStartedAt(clock, 0);
        clock.now = kPeriod - c.remaining;
        clock.sleepOvershoot = kMillisecond;
        clock.pollStep = 3;
        EXPECT_EQ(pacer.Wait(), 1);
        ASSERT_FALSE(clock.sleeps.empty());
        EXPECT_EQ(clock.sleeps.front(), c.firstSleep);
        EXPECT_EQ(pacer.last, kPeriod);
    }
}

TEST(FramePacer, OneMillisecondOrLessLeftOnlyPolls) {
    for (int64_t remaining : {kMillisecond, kMillisecond - 1, int64_t{1}}) {
        SCOPED_TRACE(remaining);
        ScriptedClock clock(kTenMegahertz);
        UsingClock using_clock(&clock);
        FramePacer pacer = PacerStartedAt(clock, 0);
        clock.now = kPeriod - remaining;
        EXPECT_EQ(pacer.Wait(), 1);
        EXPECT_TRUE(clock.sleeps.empty());
        // One reading per tick until the deadline, then the one that sees it.
        EXPECT_EQ(clock.counterReads, remaining + 1);
        EXPECT_EQ(pacer.last, kPeriod);
    }
}

TEST(FramePacer, FirstDeadlineLiesOnePeriodAfterStart) {
    ScriptedClock clock(kTenMegahertz);
    UsingClock using_clock(&clock);
    FramePacer pacer = PacerStartedAt(clock, 777);
    clock.now = 777 + kPeriod - 1;
    EXPECT_EQ(pacer.Wait(), 1);
    // Readings at deadline - 1 and at the deadline itself.
    EXPECT_EQ(clock.counterReads, 2);
    EXPECT_EQ(pacer.last, 777 + kPeriod);
}

TEST(FramePacer, LateReturnsAtOnceWithThePeriodsPassed) {
    struct Case {
        int64_t late;  // ticks after the deadline at entry
        int32_t count;
        int64_t lastAfterDeadline;  // where the reference point ends up
    };
    const Case cases[] = {
        {0, 1, 0},
        {1, 1, 0},
        {kPeriod, 1, 0},  // exactly one period late: still one
        {kPeriod + 1, 2, kPeriod},
        {2 * kPeriod, 2, kPeriod},
        {2 * kPeriod + 1, 3, 2 * kPeriod},
        {800'000, 3, 800'000 - 133'334},  // the worked example
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.late);
        ScriptedClock clock(kTenMegahertz);
        UsingClock using_clock(&clock);
        FramePacer pacer = PacerStartedAt(clock, 1'000'000);
        const int64_t deadline = 1'000'000 + kPeriod;
        clock.now = deadline + c.late;
        EXPECT_EQ(pacer.Wait(), c.count);
        EXPECT_TRUE(clock.sleeps.empty());
        EXPECT_EQ(clock.counterReads, 1);
        EXPECT_EQ(pacer.last, deadline + c.lastAfterDeadline);
    }
}

TEST(FramePacer, KeepsToPeriodBoundariesOverManyFrames) {
    ScriptedClock clock(kTenMegahertz);
    UsingClock using_clock(&clock);
    clock.sleepOvershoot = 3'000;
    clock.pollStep = 11;
    FramePacer pacer = PacerStartedAt(clock, 42);
    int64_t frames = 0;
    for (int turn = 0; turn < 50; ++turn) {
        SCOPED_TRACE(turn);
        // Work of varying length, now and then longer than a period.
        clock.now += (turn % 7 == 3) ? 2 * kPeriod + 5'000 : 100'000 + turn * 1'000;
        frames += pacer.Wait();
        EXPECT_EQ((pacer.last - 42) % kPeriod, 0);
        EXPECT_EQ(pacer.last, 42 + frames * kPeriod);
        EXPECT_GE(clock.now, pacer.last);
        EXPECT_LT(clock.now, pacer.last + kPeriod);
    }
}

TEST(FramePacer, CoarseCountersNeitherDivideByZeroNorSpinForever) {
    // Below 1 kHz a millisecond has no ticks, and below 30 Hz a period has none.
    for (int64_t frequency : {int64_t{500}, int64_t{20}, int64_t{1}}) {
        SCOPED_TRACE(frequency);
        ScriptedClock clock(frequency);
        UsingClock using_clock(&clock);
        FramePacer pacer = PacerStartedAt(clock, 0);
        EXPECT_GE(pacer.period, 1);
        clock.now = pacer.last + pacer.period + 10 * pacer.period;
        EXPECT_EQ(pacer.Wait(), 10);  // ten periods late
        clock.now = pacer.last;
        EXPECT_EQ(pacer.Wait(), 1);
    }
}

TEST(FrameRateMeter, MeasuresTheLatestIntervalOnly) {
    ScriptedClock clock(kTenMegahertz);
    UsingClock using_clock(&clock);
    FrameRateMeter meter;
    meter.Start();
    EXPECT_EQ(meter.frequency, kTenMegahertz);
    EXPECT_EQ(meter.last, 0);
    EXPECT_EQ(meter.rate, 0.0);

    struct Step {
        int64_t advance;  // ticks since the previous tick (the first: since counter value 0)
    };
    const Step steps[] = {{50'000'000}, {kPeriod}, {kTenMegahertz / 60}, {kTenMegahertz}, {1}};
    int64_t now = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.advance);
        now += step.advance;
        clock.now = now;
        meter.Tick();
        EXPECT_DOUBLE_EQ(meter.rate, 1e7 / static_cast<double>(step.advance));
        EXPECT_EQ(meter.last, now);
    }
}

TEST(FrameRateMeter, FirstTickMeasuresFromZeroAndSoReadsNearZero) {
    ScriptedClock clock(kTenMegahertz);
    UsingClock using_clock(&clock);
    clock.now = 36'000 * kTenMegahertz;  // an hour since boot, ten times
    FrameRateMeter meter;
    meter.Start();
    meter.Tick();
    EXPECT_GT(meter.rate, 0.0);
    EXPECT_LT(meter.rate, 1e-4);
}

TEST(FrameClock, ReadsTheFrequencyOnceUntilTheSourceChanges) {
    ScriptedClock first(kTenMegahertz);
    ScriptedClock second(3'579'545);
    UsingClock using_clock(&first);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(FrameClock::Frequency(), kTenMegahertz);
    }
    FrameRateMeter meter;
    meter.Start();
    FramePacer pacer;
    pacer.Start();
    EXPECT_EQ(first.frequencyReads, 1);

    UseClockSource(&second);
    EXPECT_EQ(FrameClock::Frequency(), 3'579'545);
    EXPECT_EQ(FrameClock::Frequency(), 3'579'545);
    EXPECT_EQ(second.frequencyReads, 1);
}

// A source whose frequency takes a while to read, so that first users really overlap.
class SlowFrequencyClock : public ClockSource {
  public:
    int64_t Counter() override { return 0; }
    int64_t Frequency() override {
        reads.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return 2'500'000;
    }
    void Sleep(uint32_t) override {}
    std::atomic<int> reads{0};
};

TEST(FrameClock, ConcurrentFirstUseReadsOnceAndEveryoneSeesTheValue) {
    SlowFrequencyClock clock;
    UsingClock using_clock(&clock);
    constexpr int kThreads = 8;
    std::atomic<int> waiting{kThreads};
    std::vector<int64_t> seen(kThreads, -1);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            waiting.fetch_sub(1);
            while (waiting.load() > 0) {
            }
            seen[i] = FrameClock::Frequency();
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(clock.reads.load(), 1);
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(seen[i], 2'500'000) << "thread " << i;
    }
}

TEST(PlatformClock, CounterRunsForwardAndASleepTakesAboutItsTime) {
    ClockSource& clock = PlatformClockSource();
    const int64_t frequency = clock.Frequency();
    ASSERT_GE(frequency, 1000);
    const int64_t before = clock.Counter();
    clock.Sleep(5);
    const int64_t after = clock.Counter();
    EXPECT_GE(after - before, 5 * frequency / 1000);
}

// The frame-rate label refreshes when the millisecond count reaches the refresh time, 100 ms
// after the last refresh. Pictures every 33 ms across the wrap of the count, at every phase
// against the wrap: the gap between refreshes never exceeds 100 ms plus one picture. The
// plain unsigned comparison stops refreshing at some of these phases (checked as well, so the
// phases do reach the fault).
TEST(ReachedMilliseconds, KeepsRefreshingAcrossTheWrapAtEveryPhase) {
    const struct {
        uint32_t now, deadline;
        bool reached;
    } cases[] = {
        {100, 100, true},           {99, 100, false},       {0x10, 0xFFFFFFF4u, true},
        {0xFFFFFFF4u, 0x10, false}, {0x7FFFFFFFu, 0, true}, {0, 0x80000001u, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReachedMilliseconds(c.now, c.deadline), c.reached)
            << "now " << c.now << ", deadline " << c.deadline;
    }

    constexpr uint32_t kPicture = 33, kRefresh = 100;
    auto longestGap = [](uint32_t start, bool wrapSafe) {
        uint32_t deadline = start + kRefresh, lastRefresh = start, longest = 0;
        for (uint32_t t = start + kPicture; t - start < 1000; t += kPicture) {
            if (wrapSafe ? ReachedMilliseconds(t, deadline) : t >= deadline) {
                longest = std::max(longest, t - lastRefresh);
                lastRefresh = t;
                deadline = t + kRefresh;
            }
        }
        return std::max(longest, start + 1000 - lastRefresh);
    };
    int frozenUnsigned = 0;
    for (uint32_t phase = 0; phase < 256; ++phase) {
        const uint32_t start = 0u - 500 + phase;  // the count wraps about half-way through
        EXPECT_LE(longestGap(start, true), kRefresh + kPicture) << "start " << start;
        if (longestGap(start, false) > kRefresh + kPicture) ++frozenUnsigned;
    }
    EXPECT_GT(frozenUnsigned, 0);
}

}  // namespace

namespace {

// A clock whose sleep clears `running` once it has slept `stopAfter` times, as the worker's stop
// arrives during a frame wait.
class StoppingClock : public ScriptedClock {
  public:
    StoppingClock(std::atomic<bool>& running, size_t stopAfter)
        : ScriptedClock(kTenMegahertz), running(running), stopAfter(stopAfter) {}
    void Sleep(uint32_t milliseconds) override {
        ScriptedClock::Sleep(milliseconds);
        if (sleeps.size() >= stopAfter) running = false;
    }
    std::atomic<bool>& running;
    size_t stopAfter;
};

TEST(FramePacer, AStopEndsTheWaitWithoutWaitingForTheBoundary) {
    const struct {
        const char* name;
        bool runningAtStart;
        int64_t early;  // ticks before the boundary at the wait
        size_t expectedSleeps;
    } cases[] = {
        {"stopped before the wait", false, kPeriod - 1, 0},
        {"stopped during the first sleep", true, kPeriod - 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> running{c.runningAtStart};
        StoppingClock clock(running, 1);
        clock.sleepOvershoot = 0;
        UsingClock using_clock(&clock);
        FramePacer pacer = PacerStartedAt(clock, 0);
        pacer.running = &running;
        clock.now = kPeriod - c.early;
        EXPECT_EQ(pacer.Wait(), 1);
        EXPECT_EQ(clock.sleeps.size(), c.expectedSleeps);
        EXPECT_LT(clock.now, kPeriod) << "waited for the boundary after the stop";
    }
}

// A worker's turn: without the cap a repeat sleeps as long as the last new picture took (1 ms to
// 1 s); with it nothing is timed or slept outside the pacer, which sets the advance.
TEST(TurnPacing, UncappedRepeatsLastAsLongAsTheLastPictureCappedTurnsFollowThePacer) {
    struct Case {
        const char* name;
        bool limitFps;
        int64_t pictureTicks;          // how long the new picture took
        std::vector<uint32_t> sleeps;  // what a repeat then sleeps
    };
    const Case cases[] = {
        {"uncapped, a 37 ms picture", false, 37 * kMillisecond, {37}},
        {"uncapped, an instant picture", false, 0, {1}},
        {"uncapped, a 2 s picture", false, 2 * 10'000'000, {1000}},
        {"capped", true, 37 * kMillisecond, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedClock clock(kTenMegahertz);
        clock.pollStep = 0;
        const UsingClock using_(&clock);
        TurnPacing pace;
        pace.limitFps = c.limitFps;
        pace.Start();
        const int readsAtStart = clock.counterReads;
        const int64_t begun = pace.PictureBegins();
        clock.now += c.pictureTicks;
        pace.PictureShown(begun);
        EXPECT_EQ(clock.counterReads - readsAtStart, c.limitFps ? 0 : 2);
        pace.RepeatShown();
        EXPECT_EQ(clock.sleeps, c.sleeps);
        clock.sleeps.clear();
        clock.pollStep = 1;
        const int64_t before = clock.now;
        const int32_t advance = pace.EndTurn();
        if (c.limitFps) {
            // 37 ms into a 33.3 ms period: the boundary has passed, one frame on at once.
            EXPECT_EQ(advance, 1);
            EXPECT_TRUE(clock.sleeps.empty());
        } else {
            EXPECT_EQ(advance, 1);
            EXPECT_EQ(clock.now, before);  // no wait at all
        }
    }
}

}  // namespace

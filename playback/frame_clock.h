// Timing in ticks of the platform's high-resolution counter: the process-wide counter frequency,
// the frame-rate meter of the presentation loop and the 30-frames-per-second pacer of the worker.
#pragma once

#include <atomic>
#include <cstdint>

// Where the ticks and the sleeps come from. The platform's own source is the default; tests
// install a scripted one so that waits and rates can be checked tick by tick.
class ClockSource {
  public:
    virtual ~ClockSource() = default;
    virtual int64_t Counter() = 0;    // current counter value, monotonic across threads
    virtual int64_t Frequency() = 0;  // ticks per second, constant for the process
    virtual void Sleep(uint32_t milliseconds) = 0;
};

// The platform's source: QueryPerformanceCounter/QueryPerformanceFrequency/Sleep on Windows,
// CLOCK_MONOTONIC in nanoseconds and nanosleep natively.
ClockSource& PlatformClockSource();

// Installs `source` (nullptr: the platform's) for every later reading and forgets the frequency
// and the per-millisecond values taken so far, so that they are read again from the new source
// at their next use. For tests; call it while no meter or pacer is in use.
void UseClockSource(ClockSource* source);

// The current source's counter and sleep, for code that times its own work.
int64_t ClockCounter();
void ClockSleep(uint32_t milliseconds);

struct FrameClock {
    // Ticks per second, read from the clock source at the first use and kept for the process.
    // The first use may happen on two threads at once; both see the complete value.
    static int64_t Frequency();
};

struct FrameRateMeter {
    int64_t frequency = 0;
    int64_t last = 0;
    double rate = 0.0;

    void Start();
    // One picture presented: `rate` becomes the rate of the interval since the previous tick.
    void Tick();
};

struct FramePacer {
    int32_t fps = 0;
    int64_t last = 0;
    int64_t period = 0;
    // When set, a wait that finds it false returns 1 at once instead of sleeping on: a stop is
    // not kept waiting for the frame boundary (the platform's sleeps wake on the stop).
    const std::atomic<bool>* running = nullptr;

    void Start();
    // Waits for the next frame boundary; returns the number of periods passed (at least 1).
    int32_t Wait();
};

// True once a 32-bit millisecond count (timeGetTime) has reached `deadline`, also when either
// has wrapped past zero in between: the two must lie less than 2^31 ms (24.8 days) apart.
constexpr bool ReachedMilliseconds(uint32_t now, uint32_t deadline) {
    return static_cast<int32_t>(now - deadline) >= 0;
}

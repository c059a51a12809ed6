#include "playback/frame_clock.h"

#include <atomic>

namespace {

std::atomic<ClockSource*> g_source{nullptr};

ClockSource& Source() {
    ClockSource* source = g_source.load(std::memory_order_acquire);
    return source != nullptr ? *source : PlatformClockSource();
}

// The frequency with the values derived from it. The first user that claims the record fills it
// and publishes it through `g_state`; users that arrive meanwhile wait for that, so nobody ever
// sees a half-set record. Unlike std::call_once, the state can be reset for scripted clocks.
struct ClockConstants {
    int64_t frequency = 0;
    int64_t ticksPerMillisecond = 0;
    int64_t spinMargin = 0;
};

enum State : int { kUnset, kFilling, kReady };

std::atomic<int> g_state{kUnset};
ClockConstants g_constants;

void FillConstants() {
    ClockConstants constants;
    constants.frequency = Source().Frequency();
    // A counter slower than 1 kHz would make the millisecond zero and the division in the wait
    // fault; one tick is the smallest sensible unit then.
    constants.ticksPerMillisecond = constants.frequency / 1000;
    if (constants.ticksPerMillisecond < 1) {
        constants.ticksPerMillisecond = 1;
    }
    constants.spinMargin = constants.ticksPerMillisecond;
    g_constants = constants;
}

const ClockConstants& Constants() {
    int state = g_state.load(std::memory_order_acquire);
    if (state == kReady) {
        return g_constants;
    }
    if (state == kUnset &&
        g_state.compare_exchange_strong(state, kFilling, std::memory_order_acquire)) {
        FillConstants();
        g_state.store(kReady, std::memory_order_release);
        return g_constants;
    }
    // Another thread is reading the frequency: a few microseconds at process start.
    while (g_state.load(std::memory_order_acquire) != kReady) {
    }
    return g_constants;
}

}  // namespace

int64_t ClockCounter() {
    return Source().Counter();
}

void ClockSleep(uint32_t milliseconds) {
    Source().Sleep(milliseconds);
}

void UseClockSource(ClockSource* source) {
    g_source.store(source, std::memory_order_release);
    g_state.store(kUnset, std::memory_order_release);
}

int64_t FrameClock::Frequency() {
    return Constants().frequency;
}

void FrameRateMeter::Start() {
    frequency = FrameClock::Frequency();
    last = 0;
    rate = 0.0;
}

void FrameRateMeter::Tick() {
    const int64_t now = Source().Counter();
    rate = static_cast<double>(frequency) / static_cast<double>(now - last);
    last = now;
}

void FramePacer::Start() {
    fps = 30;
    last = Source().Counter();
    period = FrameClock::Frequency() / 30;
    // A period of zero ticks (a counter slower than 30 Hz) would never let the catch-up loop
    // below end.
    if (period < 1) {
        period = 1;
    }
}

int32_t FramePacer::Wait() {
    const ClockConstants& constants = Constants();
    ClockSource& source = Source();
    const int64_t deadline = last + period;
    int64_t now = source.Counter();
    while (now < deadline) {
        if (running != nullptr && !running->load()) return 1;
        const int64_t remaining = deadline - now;
        if (remaining > constants.spinMargin) {
            const int64_t milliseconds =
                (remaining - constants.spinMargin) / constants.ticksPerMillisecond;
            source.Sleep(static_cast<uint32_t>(milliseconds));
        }
        now = source.Counter();
    }
    int64_t late = now - deadline;
    int32_t count = 1;
    while (late > period) {
        late -= period;
        ++count;
    }
    last = now - late;
    return count;
}

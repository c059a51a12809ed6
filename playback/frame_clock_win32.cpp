#include "playback/frame_clock_win32.h"

#include <atomic>

#include "playback/frame_clock.h"

namespace {

std::atomic<HANDLE> g_wakeEvent{nullptr};

class PerformanceCounterClock final : public ClockSource {
  public:
    int64_t Counter() override {
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        return now.QuadPart;
    }

    int64_t Frequency() override {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        return frequency.QuadPart;
    }

    void Sleep(uint32_t milliseconds) override {
        HANDLE wake = g_wakeEvent.load();
        if (wake == nullptr) {
            ::Sleep(milliseconds);
        } else {
            WaitForSingleObject(wake, milliseconds);
        }
    }
};

}  // namespace

void WakeClockSleepsOn(HANDLE event) {
    g_wakeEvent.store(event);
}

ClockSource& PlatformClockSource() {
    static PerformanceCounterClock clock;
    return clock;
}

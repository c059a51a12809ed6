#include <windows.h>

#include "app/frame_clock.h"

namespace {

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

    void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }
};

}  // namespace

ClockSource& PlatformClockSource() {
    static PerformanceCounterClock clock;
    return clock;
}

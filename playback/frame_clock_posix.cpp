#include <time.h>

#include <cerrno>

#include "playback/frame_clock.h"

namespace {

class MonotonicClock final : public ClockSource {
  public:
    int64_t Counter() override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    }

    int64_t Frequency() override { return 1'000'000'000; }

    void Sleep(uint32_t milliseconds) override {
        timespec remaining{static_cast<time_t>(milliseconds / 1000),
                           static_cast<long>(milliseconds % 1000) * 1'000'000};
        // A signal cuts the sleep short; the rest is slept so the wait keeps its length.
        while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
        }
    }
};

}  // namespace

ClockSource& PlatformClockSource() {
    static MonotonicClock clock;
    return clock;
}

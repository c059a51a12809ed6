#include "playback/device_recovery.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(DeviceRecovery, RetriesBackOffToHalfAMinute) {
    const uint32_t expected[] = {1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000, 30000};
    for (uint32_t failures = 1; failures <= 9; ++failures) {
        EXPECT_EQ(RetryDelayMs(failures), expected[failures - 1]) << "after failure " << failures;
    }
    EXPECT_EQ(RetryDelayMs(1000), kLongestRetryDelayMs);
}

// The window thread's recovery over a fake clock: the device is lost at `lostAt`, every attempt
// takes `attemptMs`, and creation works again from `backAfterMs` after the loss on.
struct Outcome {
    bool recovered = false;
    uint32_t failures = 0;
    uint32_t endedAfterMs = 0;  // the recovery or the giving up, after the loss
};

Outcome RunRecovery(uint32_t lostAt, uint32_t backAfterMs, uint32_t attemptMs) {
    DeviceRecovery recovery;
    NoteDeviceLost(recovery, lostAt);
    uint32_t now = lostAt;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        now += attemptMs;
        if (now - lostAt >= backAfterMs) {
            NoteDeviceWorks(recovery);
            return {true, 0, now - lostAt};
        }
        const RetryDecision decision = NoteFailedRecreation(recovery, now);
        if (decision.giveUp) return {false, recovery.failures, now - lostAt};
        now += decision.retryDelayMs;
    }
    return {};
}

TEST(DeviceRecovery, WaitsTwoMinutesAndTenFailuresWhicheverComesLater) {
    constexpr uint32_t kNever = UINT32_MAX;
    const struct {
        const char* name;
        uint32_t lostAt, backAfterMs, attemptMs;
        Outcome want;
    } cases[] = {
        // Failures at 0 and 1 s; the attempt at 3 s finds the driver back.
        {"a driver blank for three seconds", 5000, 3000, 0, {true, 0, 3000}},
        {"a driver back after a minute", 0, 60000, 0, {true, 0, 61000}},
        // 0, 1, 3, 7, 15, 31, 61, 91, 121, 151 s: the tenth failure is past two minutes.
        {"never back", 0, kNever, 0, {false, 10, 151000}},
        {"back just before the tenth attempt", 0, 150999, 0, {true, 0, 151000}},
        // Attempts of 20 s each: two minutes pass before the tenth failure, which decides.
        {"slow attempts", 0, kNever, 20000, {false, 10, 20000 * 10 + 151000}},
        {"never back, across the counter's wrap", 0xFFFF0000u, kNever, 0, {false, 10, 151000}},
        {"back across the counter's wrap", 0xFFFFFC18u, 3000, 0, {true, 0, 3000}},
    };
    for (const auto& c : cases) {
        const Outcome got = RunRecovery(c.lostAt, c.backAfterMs, c.attemptMs);
        EXPECT_EQ(got.recovered, c.want.recovered) << c.name;
        EXPECT_EQ(got.failures, c.want.failures) << c.name;
        EXPECT_EQ(got.endedAfterMs, c.want.endedAfterMs) << c.name;
    }
}

// Ten quick failures are not enough alone: the player still waits out the two minutes.
TEST(DeviceRecovery, TenFailuresWithinTwoMinutesDoNotGiveUp) {
    const struct {
        uint32_t lostAt;
        uint32_t failureAfterMs[12];
        int givesUpAt;  // index of the failure that gives up, -1 for none
    } cases[] = {
        {0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 119999, 120000}, 11},
        {0xFFFFFF00u, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 119999, 120000}, 11},
        {100,
         {120000, 120001, 120002, 120003, 120004, 120005, 120006, 120007, 120008, 120009, 120010,
          120011},
         9},
    };
    for (const auto& c : cases) {
        DeviceRecovery recovery;
        NoteDeviceLost(recovery, c.lostAt);
        for (int i = 0; i < 12; ++i) {
            const bool giveUp =
                NoteFailedRecreation(recovery, c.lostAt + c.failureAfterMs[i]).giveUp;
            EXPECT_EQ(giveUp, i == c.givesUpAt)
                << "lost at " << c.lostAt << ", failure " << i << " after " << c.failureAfterMs[i];
            if (giveUp) break;
        }
    }
}

// A new device lost before it showed a picture never worked: the time without one goes on
// from the first loss. One that showed a picture starts the count afresh at its loss.
TEST(DeviceRecovery, OnlyADeviceThatShowedAPictureRestartsTheCount) {
    DeviceRecovery recovery;
    NoteDeviceLost(recovery, 1000);
    EXPECT_FALSE(NoteFailedRecreation(recovery, 2000).giveUp);
    NoteDeviceLost(recovery, 50000);  // the new device lost again, no picture shown
    EXPECT_EQ(recovery.lostAtMs, 1000u);
    EXPECT_EQ(recovery.failures, 1u);
    NoteDeviceWorks(recovery);
    NoteDeviceLost(recovery, 90000);
    EXPECT_EQ(recovery.lostAtMs, 90000u);
    EXPECT_EQ(recovery.failures, 0u);
    EXPECT_EQ(NoteFailedRecreation(recovery, 91000).retryDelayMs, 1000u);
}

}  // namespace

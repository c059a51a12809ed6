#include "playback/device_recovery.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Failed recreations at these times (ms on a wrapping 32-bit count): the player gives up at
// the third within a minute, and only then.
TEST(DeviceRecovery, GivesUpAtTheThirdFailedRecreationWithinAMinute) {
    struct Case {
        const char* name;
        std::vector<uint32_t> failures;
        std::vector<bool> givesUp;
    };
    const Case cases[] = {
        {"three in a second", {1000, 1500, 2000}, {false, false, true}},
        {"three spread over 59.999 s", {0, 30000, 59999}, {false, false, true}},
        {"the first a minute old", {0, 30000, 60000}, {false, false, false}},
        {"every 31 s", {0, 31000, 62000, 93000, 124000}, {false, false, false, false, false}},
        {"across the count's wrap", {0xFFFFF000u, 0xFFFFFF00u, 100}, {false, false, true}},
        {"a fourth after a long quiet", {0, 100000, 100500, 101000}, {false, false, false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecreationFailures failures;
        for (size_t i = 0; i < c.failures.size(); ++i) {
            EXPECT_EQ(NoteFailedRecreation(failures, c.failures[i]), c.givesUp[i])
                << "failure " << i << " at " << c.failures[i];
        }
    }
}

}  // namespace

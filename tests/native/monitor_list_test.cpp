#include "settings/monitor_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(MonitorEntriesFrom, MeasuresEachMonitorFromTheOriginInListOrder) {
    struct Case {
        const char* name;
        std::vector<MonitorRect> rects;
        int32_t originX;
        int32_t originY;
        std::vector<MonitorEntry> expected;
    };
    const Case cases[] = {
        {"one monitor", {{0, 0, 1920, 1080}}, 0, 0, {{0, 0, 1920, 1080}}},
        {"left of and above the primary",
         {{0, 0, 1920, 1080}, {-1280, -200, 0, 824}},
         0,
         0,
         {{0, 0, 1920, 1080}, {-1280, -200, 1280, 1024}}},
        {"enumeration order kept when not left to right",
         {{1920, 0, 3200, 1024}, {0, 0, 1920, 1080}, {-800, 0, 0, 600}},
         0,
         0,
         {{1920, 0, 1280, 1024}, {0, 0, 1920, 1080}, {-800, 0, 800, 600}}},
        {"origin away from the desktop origin",
         {{0, 0, 1920, 1080}, {-1280, 0, 0, 1024}},
         -1280,
         10,
         {{1280, -10, 1920, 1080}, {0, -10, 1280, 1024}}},
        {"no monitors", {}, 0, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<MonitorEntry> entries = MonitorEntriesFrom(c.rects, c.originX, c.originY);
        ASSERT_EQ(entries.size(), c.expected.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(entries[i].x, c.expected[i].x);
            EXPECT_EQ(entries[i].y, c.expected[i].y);
            EXPECT_EQ(entries[i].width, c.expected[i].width);
            EXPECT_EQ(entries[i].height, c.expected[i].height);
        }
    }
}

}  // namespace

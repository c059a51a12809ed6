// The display list and the monitor list against the platform's own enumeration.
#include <windows.h>
// The platform headers below need the types of <windows.h>.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "windows/app_state.h"
#include "windows/monitor_list.h"

namespace {

std::vector<MONITORINFO> PlatformMonitors() {
    std::vector<MONITORINFO> monitors;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
            MONITORINFO info{};
            info.cbSize = sizeof(info);
            GetMonitorInfoW(monitor, &info);
            reinterpret_cast<std::vector<MONITORINFO>*>(data)->push_back(info);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

// Readers that fail for chosen monitors, counted in enumeration order.
int readCount;
int failFrom;  // monitors from this position on cannot be read
int failOnly;  // this one monitor cannot be read, or -1

BOOL WINAPI ScriptedReader(HMONITOR monitor, LPMONITORINFO info) {
    const int position = readCount++;
    if (position >= failFrom || position == failOnly) {
        info->rcMonitor = RECT{12345, 12345, 12345, 12345};  // what a careless caller would keep
        return FALSE;
    }
    return GetMonitorInfoW(monitor, info);
}

struct ReaderCase {
    const char* name;
    int failFrom;
    int failOnly;
};

const ReaderCase kReaderCases[] = {
    {"every monitor readable", 1000, -1},
    {"first monitor unreadable", 1000, 0},
    {"second monitor unreadable", 1000, 1},
    {"no monitor readable", 0, -1},
};

std::vector<size_t> ReadablePositions(size_t count, const ReaderCase& c) {
    std::vector<size_t> positions;
    for (size_t i = 0; i < count; ++i) {
        if (static_cast<int>(i) < c.failFrom && static_cast<int>(i) != c.failOnly) {
            positions.push_back(i);
        }
    }
    return positions;
}

TEST(EnumerateDisplays, KeepsEveryReadableMonitorInEnumerationOrder) {
    const std::vector<MONITORINFO> platform = PlatformMonitors();
    ASSERT_FALSE(platform.empty());
    for (const ReaderCase& c : kReaderCases) {
        SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(platform.size()) + " monitors");
        g_app.playback.displays.clear();
        readCount = 0;
        failFrom = c.failFrom;
        failOnly = c.failOnly;
        EnumerateDisplays(ScriptedReader);
        const std::vector<size_t> kept = ReadablePositions(platform.size(), c);
        ASSERT_EQ(g_app.playback.displays.size(), kept.size());
        for (size_t i = 0; i < kept.size(); ++i) {
            const RECT& r = platform[kept[i]].rcMonitor;
            const DisplayEntry& d = g_app.playback.displays[i];
            SCOPED_TRACE("entry " + std::to_string(i));
            EXPECT_EQ(d.left, r.left);
            EXPECT_EQ(d.top, r.top);
            EXPECT_EQ(d.right, r.right);
            EXPECT_EQ(d.bottom, r.bottom);
            EXPECT_EQ(d.primary, platform[kept[i]].dwFlags == MONITORINFOF_PRIMARY);
        }
    }
    g_app.playback.displays.clear();
}

TEST(EnumerateDisplays, AppendsToTheList) {
    g_app.playback.displays.assign(1, DisplayEntry{1, 2, 3, 4, false});
    EnumerateDisplays();
    ASSERT_EQ(g_app.playback.displays.size(), 1 + PlatformMonitors().size());
    EXPECT_EQ(g_app.playback.displays[0].right, 3);
    g_app.playback.displays.clear();
}

TEST(DisplayEntryFrom, PrimaryOnlyWhenTheFlagsAreExactlyPrimary) {
    struct Case {
        DWORD flags;
        bool primary;
    };
    const Case cases[] = {
        {0, false}, {MONITORINFOF_PRIMARY, true}, {MONITORINFOF_PRIMARY | 2, false}, {2, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE("flags " + std::to_string(c.flags));
        MONITORINFOEXW info{};
        info.cbSize = sizeof(info);
        info.rcMonitor = RECT{-1280, -200, 0, 824};
        info.rcWork = RECT{1, 1, 1, 1};
        info.dwFlags = c.flags;
        const DisplayEntry d = DisplayEntryFrom(info);
        EXPECT_EQ(d.primary, c.primary);
        EXPECT_EQ(d.left, -1280);
        EXPECT_EQ(d.top, -200);
        EXPECT_EQ(d.right, 0);
        EXPECT_EQ(d.bottom, 824);
    }
}

}  // namespace

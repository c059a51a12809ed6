// What pauses the player in a session: the lock screen, the console display, a full-screen
// window; and the worker's sleeps, which a stop must end at once.
#include <windows.h>
// The platform headers below need the types of <windows.h>.
#include <gtest/gtest.h>
#include <wtsapi32.h>

#include <cstring>
#include <string>
#include <vector>

#include "playback/frame_clock.h"
#include "playback/frame_clock_win32.h"
#include "playback/pause_reasons.h"
#include "windows/full_screen_watch.h"
#include "windows/session_watch.h"

namespace {

TEST(SessionWatch, LockAndOwnDisconnectPauseUnlockAndConnectPlay) {
    const SessionPlace console{1, true};
    const SessionPlace remote{3, false};
    const struct {
        const char* name;
        uint32_t before;
        WPARAM change;
        DWORD session;
        SessionPlace place;
        uint32_t after;
    } cases[] = {
        {"lock", 0, WTS_SESSION_LOCK, 1, console, kPauseSessionLocked},
        {"unlock", kPauseSessionLocked, WTS_SESSION_UNLOCK, 1, console, 0},
        {"unlock behind a full-screen window", kPauseSessionLocked | kPauseFullScreen,
         WTS_SESSION_UNLOCK, 1, console, kPauseFullScreen},
        {"lock with the display off", kPauseDisplayOff, WTS_SESSION_LOCK, 1, console,
         kPauseDisplayOff | kPauseSessionLocked},
        {"logon", 0, WTS_SESSION_LOGON, 1, console, 0},
        {"remote disconnect", 0, WTS_REMOTE_DISCONNECT, 3, remote, kPauseDisconnected},
        {"remote reconnect", kPauseDisconnected, WTS_REMOTE_CONNECT, 3, remote, 0},
        {"console disconnect", 0, WTS_CONSOLE_DISCONNECT, 1, console, kPauseDisconnected},
        {"console connect, still locked", kPauseDisconnected | kPauseSessionLocked,
         WTS_CONSOLE_CONNECT, 1, console, kPauseSessionLocked},
        {"another session's disconnect", 0, WTS_CONSOLE_DISCONNECT, 1, remote, 0},
        {"another session's connect", kPauseDisconnected, WTS_REMOTE_CONNECT, 5, remote,
         kPauseDisconnected},
        // Reconnected from afar: the console's display no longer says anything.
        {"connected away from the console", kPauseDisplayOff | kPauseDisconnected,
         WTS_REMOTE_CONNECT, 3, remote, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReasonsAfterSessionChange(c.before, c.change, c.session, c.place), c.after)
            << c.name << ": change " << c.change << " of session " << c.session << " after reasons "
            << c.before << ", own session " << c.place.own;
    }
}

// A POWERBROADCAST_SETTING as Windows sends it: the setting's GUID, the data's length, the data.
std::vector<unsigned char> PowerSetting(const GUID& setting, DWORD state, DWORD length) {
    std::vector<unsigned char> record(sizeof(POWERBROADCAST_SETTING) + sizeof(DWORD));
    auto* p = reinterpret_cast<POWERBROADCAST_SETTING*>(record.data());
    p->PowerSetting = setting;
    p->DataLength = length;
    std::memcpy(p->Data, &state, sizeof state);
    return record;
}

TEST(SessionWatch, DisplayOffPausesOnAndDimmedPlay) {
    const GUID console = {
        0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
    const GUID other = {
        0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}};
    const struct {
        const char* name;
        const GUID* setting;
        DWORD state, length;
        uint32_t before, after;
        bool onConsole = true;
    } cases[] = {
        {"off", &console, 0, 4, 0, kPauseDisplayOff},
        {"on", &console, 1, 4, kPauseDisplayOff, 0},
        {"dimmed", &console, 2, 4, kPauseDisplayOff, 0},
        {"on, still locked", &console, 1, 4, kPauseDisplayOff | kPauseSessionLocked,
         kPauseSessionLocked},
        {"an unknown state", &console, 7, 4, kPauseDisplayOff, kPauseDisplayOff},
        {"too short to read", &console, 0, 2, 0, 0},
        {"another setting", &other, 0, 4, 0, 0},
        {"off, in a remote session", &console, 0, 4, 0, 0, false},
        {"off, in a remote session that is locked", &console, 0, 4, kPauseSessionLocked,
         kPauseSessionLocked, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<unsigned char> record = PowerSetting(*c.setting, c.state, c.length);
        EXPECT_EQ(ReasonsAfterPowerSetting(
                      c.before, *reinterpret_cast<const POWERBROADCAST_SETTING*>(record.data()),
                      SessionPlace{1, c.onConsole}),
                  c.after);
    }
}

TEST(FullScreenWatch, TheDesktopTheShellAndOwnWindowsAreNoCandidates) {
    HWND own = CreateWindowExW(0, L"Static", L"own", WS_POPUP | WS_VISIBLE, 0, 0,
                               GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                               nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(own, nullptr);
    const struct {
        const char* name;
        HWND window;
    } cases[] = {
        {"none", nullptr},
        {"the desktop", GetDesktopWindow()},
        {"the shell", GetShellWindow()},
        {"a window of this process over the whole screen", own},
    };
    for (const auto& c : cases) {
        ForegroundWindowFacts facts;
        EXPECT_FALSE(FullScreenCandidate(c.window, facts)) << c.name;
    }
    DestroyWindow(own);
}

// The style facts read from real windows over the whole screen, and what the rule makes of
// them: a maximized window with a caption is not full screen, a borderless one is.
TEST(FullScreenWatch, StyleFactsOfRealWindows) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const struct {
        const char* name;
        DWORD style;
        int show;
        bool caption, thickFrame, maximized, fullScreen;
    } cases[] = {
        {"borderless over the screen", WS_POPUP, SW_SHOWNORMAL, false, false, false, true},
        {"maximized with a caption", WS_OVERLAPPEDWINDOW, SW_MAXIMIZE, true, true, true, false},
        {"maximized with a caption, no thick frame", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
         SW_MAXIMIZE, true, false, true, false},
        {"maximized, borderless", WS_POPUP, SW_MAXIMIZE, false, false, true, true},
        {"a thin border only", WS_POPUP | WS_BORDER, SW_SHOWNORMAL, false, false, false, true},
    };
    for (const auto& c : cases) {
        HWND window = CreateWindowExW(0, L"Static", L"facts", c.style, 0, 0, width, height, nullptr,
                                      nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr) << c.name;
        ShowWindow(window, c.show);
        const ForegroundWindowFacts facts = WindowFacts(window);
        const std::optional<MonitorRect> area = FullScreenArea(facts);
        const bool fullScreen = area && area->left <= 0 && area->top <= 0 && area->right >= width &&
                                area->bottom >= height;
        const MonitorRect& w = facts.window;
        SCOPED_TRACE(testing::Message() << c.name << ": window {" << w.left << "," << w.top << ","
                                        << w.right << "," << w.bottom << "}");
        EXPECT_EQ(facts.caption, c.caption);
        EXPECT_EQ(facts.thickFrame, c.thickFrame);
        EXPECT_EQ(facts.maximized, c.maximized);
        EXPECT_EQ(fullScreen, c.fullScreen);
        EXPECT_EQ(CoveredDisplays({DisplayEntry{0, 0, width, height, true}}, facts.window).size(),
                  1u)
            << "each of these windows' rectangles holds the screen";
        DestroyWindow(window);
    }
}

// Without the wake a sleep of ten seconds would last ten seconds.
TEST(WorkerSleeps, EndOnceTheStopIsSet) {
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(stop, nullptr);
    WakeClockSleepsOn(stop);
    struct Setter {
        static DWORD WINAPI Run(void* event) {
            Sleep(50);
            SetEvent(static_cast<HANDLE>(event));
            return 0;
        }
    };
    HANDLE thread = CreateThread(nullptr, 0, Setter::Run, stop, 0, nullptr);
    const ULONGLONG start = GetTickCount64();
    ClockSleep(10000);
    const ULONGLONG took = GetTickCount64() - start;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    WakeClockSleepsOn(nullptr);
    CloseHandle(stop);
    EXPECT_LT(took, 5000u) << "the sleep did not wake on the stop";
}

}  // namespace

// The overlay window's procedure and geometry, on real windows of the virtual desktop.
#include <windows.h>
// The platform headers below need the types of <windows.h>.
#include <gtest/gtest.h>
#include <process.h>

#include <atomic>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "windows/app_state.h"
#include "windows/overlay_window.h"
#include "windows/placement.h"

namespace {

// ---- geometry ----

struct GeometryCase {
    const char* name;
    int32_t mode;
    int32_t monitorIndex;
    std::vector<DisplayEntry> displays;
    VirtualScreen screen;
    POINT position;
    SIZE size;
};

TEST(OverlayGeometry, FollowsTheDisplayMode) {
    const std::vector<DisplayEntry> sideBySide = {{0, 0, 1920, 1080, true},
                                                  {-1280, -200, 0, 824, false}};
    const VirtualScreen both{-1280, -200, 3200, 1280};
    const GeometryCase cases[] = {
        {"each monitor", EachMonitor, 1, sideBySide, both, {-1280, -200}, {3200, 1280}},
        {"whole desktop", WholeDesktop, 1, sideBySide, both, {-1280, -200}, {3200, 1280}},
        {"chosen primary", ChosenMonitor, 0, sideBySide, both, {0, 0}, {1920, 1080}},
        {"chosen at negative coordinates",
         ChosenMonitor,
         1,
         sideBySide,
         both,
         {-1280, -200},
         {1280, 1024}},
        // Positions that name no display fall back to the primary display.
        {"chosen beyond the list", ChosenMonitor, 2, sideBySide, both, {0, 0}, {1920, 1080}},
        {"chosen negative index", ChosenMonitor, -1, sideBySide, both, {0, 0}, {1920, 1080}},
        {"chosen with no displays",
         ChosenMonitor,
         0,
         {},
         VirtualScreen{0, 0, 800, 600},
         {0, 0},
         {800, 600}},
    };
    for (const GeometryCase& c : cases) {
        SCOPED_TRACE(c.name);
        PlaybackSettings settings;
        settings.displayMode = c.mode;
        settings.monitorIndex = c.monitorIndex;
        const WindowGeometry g = OverlayGeometry(settings, c.displays, c.screen);
        EXPECT_EQ(g.position.x, c.position.x);
        EXPECT_EQ(g.position.y, c.position.y);
        EXPECT_EQ(g.size.cx, c.size.cx);
        EXPECT_EQ(g.size.cy, c.size.cy);
    }
}

// ---- the window and its procedure ----

// Records what reaches the window procedure and what it answers, then passes the message on.
std::vector<UINT> seenMessages;
WNDPROC overlayProc = nullptr;

LRESULT CALLBACK Recording(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seenMessages.push_back(message);
    return CallWindowProcW(overlayProc, window, message, wParam, lParam);
}

bool Seen(UINT message) {
    for (UINT m : seenMessages) {
        if (m == message) return true;
    }
    return false;
}

bool QuitPosted(WPARAM* code) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            *code = message.wParam;
            return true;
        }
    }
    return false;
}

class OverlayWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        g_app.playback.settings = PlaybackSettings{};
        g_app.playback.displays.clear();
        g_app.shared.running = true;
        g_app.windowThread.workerThread = nullptr;
        g_app.playback.window = nullptr;
        wcscpy(g_app.windowThread.windowTitle, L"Tessarine PV Noctiva");
        wcscpy(g_app.windowThread.windowClassName, L"NoctivaTest");
        seenMessages.clear();
        WPARAM ignored;
        QuitPosted(&ignored);
    }
    void TearDown() override {
        if (g_app.playback.window && IsWindow(g_app.playback.window))
            DestroyWindow(g_app.playback.window);
        WPARAM ignored;
        QuitPosted(&ignored);
        UnregisterClassW(g_app.windowThread.windowClassName, g_app.process.moduleHandle);
    }

    // Creates the overlay and puts the recorder in front of its procedure.
    HWND Create() {
        EXPECT_TRUE(CreateOverlayWindow(SW_SHOWNOACTIVATE));
        HWND window = g_app.playback.window;
        if (window) {
            overlayProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Recording)));
        }
        return window;
    }
};

TEST_F(OverlayWindow, IsABorderlessClickThroughLayeredPopup) {
    HWND window = Create();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)) &
                  (WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST),
              0x80028u);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) &
                  (WS_POPUP | WS_VISIBLE | WS_SYSMENU | WS_CAPTION | WS_THICKFRAME),
              0x90080000u);
    wchar_t text[100] = {};
    GetWindowTextW(window, text, 100);
    EXPECT_EQ(std::wstring(text), L"Tessarine PV Noctiva");
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    ASSERT_TRUE(GetClassInfoExW(g_app.process.moduleHandle, g_app.windowThread.windowClassName,
                                &windowClass));
    EXPECT_EQ(windowClass.style, static_cast<UINT>(CS_OWNDC));
    EXPECT_NE(windowClass.hIcon, nullptr);
    // Nothing may paint over the picture: Wine paints an exposed layered window with its class
    // brush, which left a still white.
    EXPECT_EQ(windowClass.hbrBackground, nullptr);
    HDC dc = GetDC(window);
    EXPECT_EQ(SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
    ReleaseDC(window, dc);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right - rect.left, GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(rect.bottom - rect.top, GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

TEST_F(OverlayWindow, CreationTakesTheGeometryOfTheDisplayMode) {
    struct Case {
        const char* name;
        int32_t mode;
        std::vector<DisplayEntry> displays;
        int32_t monitorIndex;
    };
    const Case cases[] = {
        {"each monitor", EachMonitor, {}, 0},
        {"whole desktop", WholeDesktop, {}, 0},
        {"chosen second", ChosenMonitor, {{0, 0, 640, 480, true}, {-300, -100, 0, 500, false}}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        g_app.playback.settings.displayMode = c.mode;
        g_app.playback.settings.monitorIndex = c.monitorIndex;
        g_app.playback.displays = c.displays;
        ASSERT_NE(Create(), nullptr);
        const WindowGeometry expected =
            OverlayGeometry(g_app.playback.settings, g_app.playback.displays, QueryVirtualScreen());
        EXPECT_EQ(g_app.windowThread.windowPosition.x, expected.position.x);
        EXPECT_EQ(g_app.windowThread.windowPosition.y, expected.position.y);
        EXPECT_EQ(g_app.playback.windowSize.cx, expected.size.cx);
        EXPECT_EQ(g_app.playback.windowSize.cy, expected.size.cy);
        if (c.mode != ChosenMonitor) {
            EXPECT_EQ(g_app.playback.windowSize.cx, GetSystemMetrics(SM_CXVIRTUALSCREEN));
            EXPECT_EQ(g_app.windowThread.windowPosition.y, GetSystemMetrics(SM_YVIRTUALSCREEN));
        }
        TearDown();
    }
}

struct StackingCase {
    const char* name;
    bool keepOnTop;
    bool keepAtBottom;
    bool timer;
    bool topmostAfterTimer;
};

TEST_F(OverlayWindow, StackingTimerRunsOnlyWithAStackingFlag) {
    const StackingCase cases[] = {
        {"normal", false, false, false, true},
        {"keep on top", true, false, true, true},
        {"keep at bottom", false, true, true, false},
        {"both: on top wins", true, true, true, true},
    };
    for (const StackingCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        g_app.playback.settings.keepOnTop = c.keepOnTop;
        g_app.playback.settings.keepAtBottom = c.keepAtBottom;
        HWND window = Create();
        ASSERT_NE(window, nullptr);
        SendMessageW(window, WM_TIMER, 1, 0);
        const bool topmost = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        EXPECT_EQ(topmost, c.topmostAfterTimer);
        // KillTimer succeeds only for a timer that exists.
        EXPECT_EQ(KillTimer(window, 1) != FALSE, c.timer);
        TearDown();
    }
}

TEST_F(OverlayWindow, KeepOnTopComesBackAboveALaterTopmostWindow) {
    g_app.playback.settings.keepOnTop = true;
    HWND window = Create();
    ASSERT_NE(window, nullptr);
    HWND other = CreateWindowExW(WS_EX_TOPMOST, L"Static", L"other", WS_POPUP | WS_VISIBLE, 0, 0,
                                 50, 50, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    SetWindowPos(other, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageW(window, WM_TIMER, 1, 0);
    // Walking down from our window must reach the other one.
    bool otherBelow = false;
    for (HWND w = GetWindow(window, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == other) otherBelow = true;
    }
    EXPECT_TRUE(otherBelow);
    DestroyWindow(other);
}

TEST_F(OverlayWindow, PositionChangesGetNoDefaultProcessing) {
    for (bool keepOnTop : {false, true}) {
        SCOPED_TRACE(keepOnTop ? "keep on top" : "normal");
        SetUp();
        g_app.playback.settings.keepOnTop = keepOnTop;
        HWND window = Create();
        ASSERT_NE(window, nullptr);
        seenMessages.clear();
        SetWindowPos(window, nullptr, 10, 20, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_TRUE(Seen(WM_WINDOWPOSCHANGED));
        // The default processing would follow with WM_MOVE and WM_SIZE.
        EXPECT_FALSE(Seen(WM_MOVE));
        EXPECT_FALSE(Seen(WM_SIZE));
        TearDown();
    }
}

struct KeyCase {
    const char* name;
    bool exitOnKey;
    UINT message;
    WPARAM key;
    bool ends;
};

TEST_F(OverlayWindow, KeysEndTheProgramOnlyWhenAsked) {
    const KeyCase cases[] = {
        {"Enter, exit on key", true, WM_KEYDOWN, VK_RETURN, true},
        {"Shift alone, exit on key", true, WM_KEYDOWN, VK_SHIFT, true},
        {"Ctrl alone, exit on key", true, WM_KEYDOWN, VK_CONTROL, true},
        {"letter, exit on key", true, WM_KEYDOWN, 'A', true},
        {"Enter, no exit on key", false, WM_KEYDOWN, VK_RETURN, false},
        {"Esc, no exit on key", false, WM_KEYDOWN, VK_ESCAPE, false},
        {"Alt is a system key", true, WM_SYSKEYDOWN, VK_MENU, false},
        {"F10 is a system key", true, WM_SYSKEYDOWN, VK_F10, false},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        g_app.playback.settings.exitOnKey = c.exitOnKey;
        HWND window = Create();
        ASSERT_NE(window, nullptr);
        const LRESULT result = SendMessageW(window, c.message, c.key, 0);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(IsWindow(window) == FALSE, c.ends);
        EXPECT_EQ(g_app.shared.running.load(), !c.ends);
        WPARAM code = 99;
        EXPECT_EQ(QuitPosted(&code), c.ends);
        if (c.ends) {
            EXPECT_EQ(code, 0u);
        }
        TearDown();
    }
}

// A stand-in worker: renders "frames" of about 30 ms while `running` holds.
std::atomic<bool> workerEnded;

unsigned __stdcall StandInWorker(void*) {
    while (g_app.shared.running) Sleep(30);
    Sleep(20);  // the end of its last frame
    workerEnded = true;
    return 0;
}

TEST_F(OverlayWindow, DestructionStopsAndJoinsTheWorkerBeforeTheQuitMessage) {
    HWND window = Create();
    ASSERT_NE(window, nullptr);
    workerEnded = false;
    g_app.windowThread.workerThread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, StandInWorker, nullptr, 0, nullptr));
    ASSERT_NE(g_app.windowThread.workerThread, nullptr);
    HANDLE watch = nullptr;
    DuplicateHandle(GetCurrentProcess(), g_app.windowThread.workerThread, GetCurrentProcess(),
                    &watch, 0, FALSE, DUPLICATE_SAME_ACCESS);
    DestroyWindow(window);
    EXPECT_TRUE(workerEnded);
    EXPECT_FALSE(g_app.shared.running);
    EXPECT_EQ(WaitForSingleObject(watch, 0), WAIT_OBJECT_0);
    EXPECT_EQ(g_app.windowThread.workerThread, nullptr);
    WPARAM code = 99;
    EXPECT_TRUE(QuitPosted(&code));
    EXPECT_EQ(code, 0u);
    CloseHandle(watch);
}

TEST_F(OverlayWindow, ClosingByTheSystemCommandDestroysTheWindow) {
    HWND window = Create();
    ASSERT_NE(window, nullptr);
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(g_app.shared.running);
    WPARAM code = 99;
    EXPECT_TRUE(QuitPosted(&code));
    EXPECT_EQ(code, 0u);
}

}  // namespace

#include "windows/full_screen_watch.h"

#include <shellapi.h>

#include <vector>

#include "render/screen_cover.h"
#include "windows/app_state.h"
#include "windows/playback_control.h"

namespace {

constexpr UINT_PTR kFullScreenTimer = 3;
constexpr UINT kFullScreenPeriodMs = 250;

bool IsTaskbar(HWND window) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    return lstrcmpW(name, L"Shell_TrayWnd") == 0 || lstrcmpW(name, L"Shell_SecondaryTrayWnd") == 0;
}

// Exclusive Direct3D and presentation mode do not always leave a covering foreground window.
bool ShellReportsFullScreen() {
    QUERY_USER_NOTIFICATION_STATE state{};
    if (FAILED(SHQueryUserNotificationState(&state))) return false;
    return state == QUNS_RUNNING_D3D_FULL_SCREEN || state == QUNS_PRESENTATION_MODE;
}

MonitorRect MonitorOf(HWND window) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info);
    const RECT& r = info.rcMonitor;
    return MonitorRect{r.left, r.top, r.right, r.bottom};
}

std::vector<MonitorRect> CoveredNow() {
    const HWND foreground = GetForegroundWindow();
    MonitorRect rect{};
    if (FullScreenCandidate(foreground, rect)) {
        std::vector<MonitorRect> covered = CoveredDisplays(g_app.playback.displays, rect);
        if (!covered.empty()) return covered;
    }
    if (ShellReportsFullScreen())
        return CoveredDisplays(g_app.playback.displays, MonitorOf(foreground));
    return {};
}

void CALLBACK OnTimer(HWND overlay, UINT, UINT_PTR, DWORD) {
    CheckFullScreen(overlay);
}

void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG, DWORD, DWORD) {
    // Location changes of every caret, cursor and window arrive here too: only the foreground
    // window's count.
    if (event == EVENT_OBJECT_LOCATIONCHANGE &&
        (object != OBJID_WINDOW || window == nullptr || window != GetForegroundWindow())) {
        return;
    }
    if (g_app.windowThread.watchedOverlay != nullptr)
        CheckFullScreen(g_app.windowThread.watchedOverlay);
}

}  // namespace

bool FullScreenCandidate(HWND foreground, MonitorRect& rect) {
    if (foreground == nullptr || foreground == GetDesktopWindow() ||
        foreground == GetShellWindow() || IsTaskbar(foreground)) {
        return false;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(foreground, &process);
    if (process == GetCurrentProcessId()) return false;
    if (!IsWindowVisible(foreground) || IsIconic(foreground)) return false;
    RECT r{};
    if (!GetWindowRect(foreground, &r)) return false;
    rect = MonitorRect{r.left, r.top, r.right, r.bottom};
    return true;
}

void ForgetFullScreenCover() {
    g_app.windowThread.lastCovered.clear();
    g_app.windowThread.lastCovered.push_back(
        MonitorRect{});  // matches no answer: the next look follows
}

void CheckFullScreen(HWND overlay) {
    std::vector<MonitorRect> covered = CoveredNow();
    if (covered == g_app.windowThread.lastCovered) return;
    g_app.windowThread.lastCovered = covered;
    FollowFullScreenCover(overlay, covered);
}

void StartFullScreenWatch(HWND overlay) {
    g_app.windowThread.watchedOverlay = overlay;
    g_app.windowThread.lastCovered.clear();
    constexpr DWORD kFlags = WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS;
    g_app.windowThread.foregroundHook = SetWinEventHook(
        EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, OnWinEvent, 0, 0, kFlags);
    g_app.windowThread.locationHook =
        SetWinEventHook(EVENT_OBJECT_LOCATIONCHANGE, EVENT_OBJECT_LOCATIONCHANGE, nullptr,
                        OnWinEvent, 0, 0, kFlags);
    // Wine 8 never delivers either event: the timer finds the change within a quarter second.
    SetTimer(overlay, kFullScreenTimer, kFullScreenPeriodMs, OnTimer);
}

void StopFullScreenWatch(HWND overlay) {
    KillTimer(overlay, kFullScreenTimer);
    if (g_app.windowThread.locationHook != nullptr) UnhookWinEvent(g_app.windowThread.locationHook);
    if (g_app.windowThread.foregroundHook != nullptr)
        UnhookWinEvent(g_app.windowThread.foregroundHook);
    g_app.windowThread.locationHook = g_app.windowThread.foregroundHook = nullptr;
    g_app.windowThread.watchedOverlay = nullptr;
}

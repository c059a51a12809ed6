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

bool IsDesktopOrShell(HWND window) {
    return window == GetDesktopWindow() || window == GetShellWindow() || IsTaskbar(window);
}

// Exclusive Direct3D and presentation mode do not always leave a covering foreground window.
ShellFullScreen ShellState() {
    QUERY_USER_NOTIFICATION_STATE state{};
    if (FAILED(SHQueryUserNotificationState(&state))) return ShellFullScreen::Ordinary;
    if (state == QUNS_RUNNING_D3D_FULL_SCREEN) return ShellFullScreen::Direct3D;
    if (state == QUNS_PRESENTATION_MODE) return ShellFullScreen::Presentation;
    return ShellFullScreen::Ordinary;
}

MonitorRect MonitorOf(HWND window) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info);
    const RECT& r = info.rcMonitor;
    return MonitorRect{r.left, r.top, r.right, r.bottom};
}

MonitorRect RectOf(const RECT& r) {
    return MonitorRect{r.left, r.top, r.right, r.bottom};
}

std::vector<MonitorRect> CoveredNow() {
    const HWND foreground = GetForegroundWindow();
    ForegroundWindowFacts facts;
    const bool candidate = FullScreenCandidate(foreground, facts);
    return DisplaysTakenByForeground(g_app.playback.displays, candidate ? &facts : nullptr,
                                     ShellState(), MonitorOf(foreground));
}

void CALLBACK OnTimer(HWND overlay, UINT, UINT_PTR, DWORD) {
    CheckFullScreen(overlay);
}

void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG, DWORD, DWORD) {
    // The foreground thread's caret and cursor moves arrive here too: only its window's count.
    if (event == EVENT_OBJECT_LOCATIONCHANGE &&
        (object != OBJID_WINDOW || window == nullptr || window != GetForegroundWindow())) {
        return;
    }
    if (g_app.windowThread.watchedOverlay != nullptr)
        CheckFullScreen(g_app.windowThread.watchedOverlay);
}

std::optional<WindowThreadId> ForegroundThread(HWND foreground) {
    if (foreground == nullptr || IsDesktopOrShell(foreground)) return std::nullopt;
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(foreground, &process);
    if (thread == 0) return std::nullopt;
    return WindowThreadId{process, thread};
}

void UnhookLocation() {
    if (g_app.windowThread.locationHook != nullptr) UnhookWinEvent(g_app.windowThread.locationHook);
    g_app.windowThread.locationHook = nullptr;
    g_app.windowThread.locationHookTarget.reset();
}

// Location changes are asked for from the foreground window's thread alone, and asked again
// whenever another thread's window comes to the front.
void FollowForegroundThread(HWND foreground) {
    const LocationHookChoice choice = ChooseLocationHook(
        g_app.windowThread.locationHookTarget, ForegroundThread(foreground), GetCurrentProcessId());
    if (choice.step == HookStep::Keep) return;
    UnhookLocation();
    if (choice.step == HookStep::Unhook) return;
    g_app.windowThread.locationHook = SetWinEventHook(
        EVENT_OBJECT_LOCATIONCHANGE, EVENT_OBJECT_LOCATIONCHANGE, nullptr, OnWinEvent,
        choice.target.process, choice.target.thread, WINEVENT_OUTOFCONTEXT);
    // A failed hook is tried again at the next look.
    if (g_app.windowThread.locationHook != nullptr)
        g_app.windowThread.locationHookTarget = choice.target;
}

}  // namespace

ForegroundWindowFacts WindowFacts(HWND window) {
    ForegroundWindowFacts facts;
    RECT r{};
    GetWindowRect(window, &r);
    facts.window = RectOf(r);
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    facts.client = RectOf(client);
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    facts.caption = (style & WS_CAPTION) == WS_CAPTION;
    facts.thickFrame = (style & WS_THICKFRAME) != 0;
    facts.maximized = IsZoomed(window) != FALSE;
    return facts;
}

bool FullScreenCandidate(HWND foreground, ForegroundWindowFacts& facts) {
    if (foreground == nullptr || IsDesktopOrShell(foreground)) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(foreground, &process);
    if (process == GetCurrentProcessId()) return false;
    if (!IsWindowVisible(foreground) || IsIconic(foreground)) return false;
    RECT r{};
    if (!GetWindowRect(foreground, &r)) return false;
    facts = WindowFacts(foreground);
    return true;
}

void ForgetFullScreenCover() {
    g_app.windowThread.lastCovered.clear();
    g_app.windowThread.lastCovered.push_back(
        MonitorRect{});  // matches no answer: the next look follows
}

void CheckFullScreen(HWND overlay) {
    FollowForegroundThread(GetForegroundWindow());
    std::vector<MonitorRect> covered = CoveredNow();
    if (covered == g_app.windowThread.lastCovered) return;
    g_app.windowThread.lastCovered = covered;
    FollowFullScreenCover(overlay, covered);
}

void StartFullScreenWatch(HWND overlay) {
    g_app.windowThread.watchedOverlay = overlay;
    g_app.windowThread.lastCovered.clear();
    g_app.windowThread.foregroundHook =
        SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, OnWinEvent, 0, 0,
                        WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    FollowForegroundThread(GetForegroundWindow());
    // Wine 8 never delivers either event: the timer finds the change within a quarter second.
    SetTimer(overlay, kFullScreenTimer, kFullScreenPeriodMs, OnTimer);
}

void StopFullScreenWatch(HWND overlay) {
    KillTimer(overlay, kFullScreenTimer);
    UnhookLocation();
    if (g_app.windowThread.foregroundHook != nullptr)
        UnhookWinEvent(g_app.windowThread.foregroundHook);
    g_app.windowThread.foregroundHook = nullptr;
    g_app.windowThread.watchedOverlay = nullptr;
}

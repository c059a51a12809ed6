#include "windows/overlay_window.h"

#include "playback/pause_reasons.h"
#include "render/overlay_layout.h"
#include "resources/resource.h"
#include "windows/app_state.h"
#include "windows/device_recovery.h"
#include "windows/full_screen_watch.h"
#include "windows/placement.h"
#include "windows/playback_control.h"
#include "windows/playback_worker.h"
#include "windows/session_watch.h"

namespace {

constexpr UINT_PTR kStackingTimer = 1;
constexpr UINT kStackingPeriodMs = 250;
// A display change is followed once the displays have been quiet this long: one change of
// arrangement often arrives as several messages.
constexpr UINT_PTR kDisplayChangeTimer = 2;
constexpr UINT kDisplaySettleMs = 250;
constexpr DWORD kOverlayExStyle = WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST;
constexpr DWORD kOverlayStyle = WS_POPUP | WS_VISIBLE | WS_SYSMENU;

bool KeepsStacking() {
    return g_app.playback.settings.keepOnTop || g_app.playback.settings.keepAtBottom;
}

void RestoreStacking(HWND window) {
    constexpr UINT kZOrderOnly = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
    if (g_app.playback.settings.keepOnTop) {
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, kZOrderOnly);
    } else if (g_app.playback.settings.keepAtBottom) {
        SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, kZOrderOnly);
    }
}

void OnCreate(HWND window) {
    g_app.playback.window = window;
    if (KeepsStacking()) SetTimer(window, kStackingTimer, kStackingPeriodMs, nullptr);
    StartSessionWatch(window);
    if (!g_app.playback.settings.keepOnTop) StartFullScreenWatch(window);
    g_app.playback.virtualScreen = QueryVirtualScreen();
    WindowGeometry geometry = OverlayGeometry(g_app.playback.settings, g_app.playback.displays,
                                              g_app.playback.virtualScreen);
    g_app.windowThread.windowPosition = geometry.position;
    g_app.playback.windowSize = geometry.size;
}

// The worker may be waiting for the picture lock before it sees `running`; the caller must not
// hold that lock here.
void OnDestroy(HWND window) {
    StopFullScreenWatch(window);
    StopSessionWatch(window);
    StopWorkerOrEnd();
    PostQuitMessage(0);
}

void OnTimer(HWND window, UINT_PTR timer) {
    switch (timer) {
        case kDisplayChangeTimer:
            KillTimer(window, kDisplayChangeTimer);
            FollowDisplayChange(window);
            return;
        case kDeviceRetryTimer:
            RetryDeviceCreation(window);
            return;
        default:
            RestoreStacking(window);
            return;
    }
}

void OnPowerBroadcast(HWND window, WPARAM event, LPARAM lParam) {
    if (event != PBT_POWERSETTINGCHANGE || lParam == 0) return;
    const auto& setting = *reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
    const uint32_t reasons =
        ReasonsAfterPowerSetting(g_app.windowThread.pauseReasons, setting, CurrentSessionPlace());
    SetPauseReason(window, kPauseDisplayOff, (reasons & kPauseDisplayOff) != 0);
}

void OnSessionChange(HWND window, WPARAM change, LPARAM session) {
    const uint32_t reasons = ReasonsAfterSessionChange(g_app.windowThread.pauseReasons, change,
                                                       DWORD(session), CurrentSessionPlace());
    for (uint32_t reason : {kPauseDisplayOff, kPauseSessionLocked, kPauseDisconnected}) {
        SetPauseReason(window, reason, (reasons & reason) != 0);
    }
}

void OnKeyDown(HWND window) {
    if (!g_app.playback.settings.exitOnKey) return;
    g_app.shared.running = false;
    DestroyWindow(window);
}

}  // namespace

WindowGeometry OverlayGeometry(const PlaybackSettings& settings,
                               const std::vector<DisplayEntry>& displays,
                               const VirtualScreen& screen) {
    const OverlayLayout layout = LayOutOverlay(settings, displays, screen, 0, 0);
    return WindowGeometry{POINT{layout.left, layout.top}, SIZE{layout.width, layout.height}};
}

void QuietOverlayWindow(HWND window) {
    g_app.windowThread.ending = true;
    for (UINT_PTR timer : {kStackingTimer, kDisplayChangeTimer, kDeviceRetryTimer}) {
        KillTimer(window, timer);
    }
    StopFullScreenWatch(window);
    StopSessionWatch(window);
}

bool CreateOverlayWindow(int showCommand) {
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = OverlayWindowProc;
    windowClass.hInstance = g_app.process.moduleHandle;
    windowClass.hIcon = LoadIconW(g_app.process.moduleHandle, MAKEINTRESOURCEW(IDI_NOCTIVA));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    // No background: every pixel comes from the picture. Wine maps a layered window at its first
    // UpdateLayeredWindow and then paints it like any exposed window; with a class brush that
    // erased the held picture to white (premultiplied white of alpha 0 adds to the desktop), and
    // a still, which is presented once, stayed white.
    windowClass.hbrBackground = nullptr;
    windowClass.lpszClassName = g_app.windowThread.windowClassName;
    windowClass.hIconSm = windowClass.hIcon;
    ATOM atom = RegisterClassExW(&windowClass);

    g_app.playback.window = CreateWindowExW(
        kOverlayExStyle, reinterpret_cast<LPCWSTR>(atom), g_app.windowThread.windowTitle,
        kOverlayStyle, 0, 0, width, height, nullptr, nullptr, g_app.process.moduleHandle, nullptr);
    if (!g_app.playback.window) return false;
    ShowWindow(g_app.playback.window, showCommand);
    return true;
}

LRESULT CALLBACK OverlayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_app.windowThread.ending) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_CREATE:
            OnCreate(window);
            return 0;
        case WM_DESTROY:
            OnDestroy(window);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // nothing to erase: the picture covers the whole window
        case WM_DWMCOMPOSITIONCHANGED:
            // Composition turned on or off: the layered window is drawn anew from its picture.
            ShowHeldPicture();
            return 0;
        case WM_WTSSESSION_CHANGE:
            OnSessionChange(window, wParam, lParam);
            return 0;
        case WM_POWERBROADCAST:
            OnPowerBroadcast(window, wParam, lParam);
            return TRUE;
        case kDeviceLostMessage:
            FollowDeviceLoss(window, HRESULT(wParam), uint32_t(lParam));
            return 0;
        case WM_ACTIVATE:
            NoteActivation(LOWORD(wParam) != WA_INACTIVE);
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_WINDOWPOSCHANGED:
            RestoreStacking(window);
            return 0;
        case WM_TIMER:
            OnTimer(window, wParam);
            return 0;
        case WM_DISPLAYCHANGE:
        case WM_DPICHANGED:
            // Each further change restarts the wait. A new scale is laid out as a display
            // change: the suggested rectangle would rescale an overlay that spans monitors.
            SetTimer(window, kDisplayChangeTimer, kDisplaySettleMs, nullptr);
            return 0;
        case WM_KEYDOWN:
            OnKeyDown(window);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

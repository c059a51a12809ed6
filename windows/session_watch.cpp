#include "windows/session_watch.h"

#include <wtsapi32.h>

#include <cstring>

#include "playback/pause_reasons.h"

namespace {

// GUID_CONSOLE_DISPLAY_STATE, spelt out: the SDK's definition needs INITGUID in one unit.
constexpr GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

HPOWERNOTIFY g_displayNotify = nullptr;

}  // namespace

void StartSessionWatch(HWND window) {
    WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION);
    g_displayNotify = RegisterPowerSettingNotification(window, &kConsoleDisplayState,
                                                       DEVICE_NOTIFY_WINDOW_HANDLE);
}

void StopSessionWatch(HWND window) {
    WTSUnRegisterSessionNotification(window);
    if (g_displayNotify != nullptr) UnregisterPowerSettingNotification(g_displayNotify);
    g_displayNotify = nullptr;
}

SessionPlace CurrentSessionPlace() {
    SessionPlace place;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &place.own)) return place;
    place.onConsole = WTSGetActiveConsoleSessionId() == place.own;
    return place;
}

uint32_t ReasonsAfterSessionChange(uint32_t reasons, WPARAM change, DWORD session,
                                   const SessionPlace& place) {
    if (!place.onConsole) reasons = WithReason(reasons, kPauseDisplayOff, false);
    switch (change) {
        case WTS_SESSION_LOCK:
            return WithReason(reasons, kPauseSessionLocked, true);
        case WTS_SESSION_UNLOCK:
            return WithReason(reasons, kPauseSessionLocked, false);
        case WTS_REMOTE_DISCONNECT:
        case WTS_CONSOLE_DISCONNECT:
            return session == place.own ? WithReason(reasons, kPauseDisconnected, true) : reasons;
        case WTS_REMOTE_CONNECT:
        case WTS_CONSOLE_CONNECT:
            return session == place.own ? WithReason(reasons, kPauseDisconnected, false) : reasons;
        default:
            return reasons;
    }
}

uint32_t ReasonsAfterPowerSetting(uint32_t reasons, const POWERBROADCAST_SETTING& setting,
                                  const SessionPlace& place) {
    // The console's display says nothing of what a remote session's user sees.
    if (!place.onConsole) return WithReason(reasons, kPauseDisplayOff, false);
    if (!IsEqualGUID(setting.PowerSetting, kConsoleDisplayState) ||
        setting.DataLength < sizeof(DWORD)) {
        return reasons;
    }
    DWORD state = 0;
    std::memcpy(&state, setting.Data, sizeof state);
    if (state == 0) return WithReason(reasons, kPauseDisplayOff, true);
    if (state == 1 || state == 2) return WithReason(reasons, kPauseDisplayOff, false);
    return reasons;
}

#include "windows/monitor_list.h"

#include "windows/app_state.h"

namespace {

struct DisplayEnumeration {
    MonitorInfoReader readInfo;
    std::vector<DisplayEntry>* displays;
};

BOOL CALLBACK AppendDisplay(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto* enumeration = reinterpret_cast<DisplayEnumeration*>(data);
    MONITORINFOEXW info{};
    info.cbSize = sizeof(info);
    if (enumeration->readInfo(monitor, &info)) {
        enumeration->displays->push_back(DisplayEntryFrom(info));
    }
    return TRUE;
}

}  // namespace

DisplayEntry DisplayEntryFrom(const MONITORINFOEXW& info) {
    const RECT& r = info.rcMonitor;
    return DisplayEntry{r.left, r.top, r.right, r.bottom, info.dwFlags == MONITORINFOF_PRIMARY};
}

void EnumerateDisplays(MonitorInfoReader readInfo) {
    DisplayEnumeration enumeration{readInfo, &g_app.playback.displays};
    EnumDisplayMonitors(nullptr, nullptr, AppendDisplay, reinterpret_cast<LPARAM>(&enumeration));
}

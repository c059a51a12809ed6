// The platform's monitor enumeration, feeding the display list and the monitor list of g_app.
#pragma once

#include <windows.h>

#include <vector>

#include "settings/monitor_list.h"

// The platform call that reads one monitor's information; replaceable so that tests can make it
// fail for chosen monitors.
using MonitorInfoReader = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);

// Appends one entry per monitor to g_app.playback.displays, in enumeration order. A monitor whose
// information cannot be read is left out rather than appended as an unset record.
void EnumerateDisplays(MonitorInfoReader readInfo = GetMonitorInfoW);

// The display-list entry for one monitor's extended information record.
DisplayEntry DisplayEntryFrom(const MONITORINFOEXW& info);

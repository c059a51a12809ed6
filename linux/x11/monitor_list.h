// The display list of an X screen.
#pragma once

#include <X11/Xlib.h>

#include <vector>

#include "settings/monitor_list.h"

// The monitors of the default screen from XRandR (XRRGetMonitors, with its primary flag); where
// XRandR reports none, the Xinerama screens (the first one primary, as nothing else names one);
// and where that fails too, the whole screen as one primary display.
std::vector<DisplayEntry> EnumerateX11Displays(Display* display);

// True when `event` is XRandR's notice that the screen's layout changed. Needs
// SelectDisplayChanges first.
bool IsDisplayChange(Display* display, const XEvent& event);
// Asks for XRandR's screen-change notices on the root window; false without XRandR.
bool SelectDisplayChanges(Display* display);

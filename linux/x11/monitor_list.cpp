#include "linux/x11/monitor_list.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

namespace {

std::vector<DisplayEntry> RandrDisplays(Display* display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)) return {};
    if (!XRRQueryVersion(display, &major, &minor) || major * 100 + minor < 105) return {};
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    std::vector<DisplayEntry> displays;
    for (int i = 0; monitors && i < count; ++i) {
        const XRRMonitorInfo& m = monitors[i];
        displays.push_back({m.x, m.y, m.x + m.width, m.y + m.height, m.primary != 0});
    }
    if (monitors) XRRFreeMonitors(monitors);
    return displays;
}

std::vector<DisplayEntry> XineramaDisplays(Display* display) {
    int eventBase = 0, errorBase = 0;
    if (!XineramaQueryExtension(display, &eventBase, &errorBase) || !XineramaIsActive(display)) {
        return {};
    }
    int count = 0;
    XineramaScreenInfo* screens = XineramaQueryScreens(display, &count);
    std::vector<DisplayEntry> displays;
    for (int i = 0; screens && i < count; ++i) {
        const XineramaScreenInfo& s = screens[i];
        displays.push_back(
            {s.x_org, s.y_org, s.x_org + s.width, s.y_org + s.height, displays.empty()});
    }
    if (screens) XFree(screens);
    return displays;
}

}  // namespace

std::vector<DisplayEntry> EnumerateX11Displays(Display* display) {
    std::vector<DisplayEntry> displays = RandrDisplays(display);
    if (displays.empty()) displays = XineramaDisplays(display);
    if (displays.empty()) {
        const int screen = DefaultScreen(display);
        displays.push_back(
            {0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen), true});
    }
    return displays;
}

bool SelectDisplayChanges(Display* display) {
    int eventBase = 0, errorBase = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)) return false;
    XRRSelectInput(display, DefaultRootWindow(display),
                   RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    return true;
}

bool IsDisplayChange(Display* display, const XEvent& event) {
    int eventBase = 0, errorBase = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)) return false;
    if (event.type == eventBase + RRScreenChangeNotify) {
        XRRUpdateConfiguration(const_cast<XEvent*>(&event));
        return true;
    }
    return event.type == eventBase + RRNotify;
}

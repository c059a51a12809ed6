// What the desktop around the overlay does, from X's own notices (no polling): whether a
// compositing manager owns the screen's _NET_WM_CM_S<n> selection, and which full-screen window
// has the focus (_NET_ACTIVE_WINDOW on the root window, _NET_WM_STATE on that window).
#pragma once

#include <X11/Xlib.h>

#include <vector>

#include "settings/monitor_list.h"

// True when the ATOM list `property` of `window` holds `wanted`.
bool HasAtom(Display* display, Window window, Atom property, Atom wanted);

class DesktopWatch {
  public:
    DesktopWatch(Display* display, Window overlay);
    ~DesktopWatch();
    DesktopWatch(const DesktopWatch&) = delete;
    DesktopWatch& operator=(const DesktopWatch&) = delete;

    // Asks for the notices; reads the compositor's presence and the active window.
    void Start();

    bool Composited() const { return composited_; }
    // The active window's rectangle in virtual-desktop coordinates when it is full screen.
    const std::vector<MonitorRect>& FullScreenWindows() const { return fullScreen_; }

    // What an event changed.
    enum Change { Nothing = 0, Compositor = 1, FullScreen = 2 };
    int Handle(const XEvent& event);

  private:
    bool ReadComposited() const;
    Window ReadActiveWindow() const;
    void FollowActiveWindow(Window window);
    std::vector<MonitorRect> ReadFullScreen() const;
    int FullScreenChange();

    Display* display_;
    Window root_;
    Window overlay_;
    Atom cmSelection_ = 0;
    Atom activeWindowAtom_ = 0;
    Atom stateAtom_ = 0;
    Atom fullScreenAtom_ = 0;
    int fixesEventBase_ = -1;
    bool composited_ = false;
    Window active_ = None;
    std::vector<MonitorRect> fullScreen_;
};

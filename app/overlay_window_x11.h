// The overlay window on X11: undecorated, 32-bit ARGB, click-through, stacked as the settings
// ask, closed by the window manager's close command or (when asked) by a key press.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>

#include "settings/playback_settings.h"

struct WindowRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

class OverlayWindow {
  public:
    // False from Create when the screen has no 32-bit TrueColor visual or the window fails.
    OverlayWindow(Display* display, const PlaybackSettings& settings);
    ~OverlayWindow();
    OverlayWindow(const OverlayWindow&) = delete;
    OverlayWindow& operator=(const OverlayWindow&) = delete;

    bool Create(const WindowRect& rect, const std::string& title, const std::string& className);
    void MoveTo(const WindowRect& rect);

    Window Handle() const { return window_; }
    Visual* ArgbVisual() const { return visual_; }
    const WindowRect& Rect() const { return rect_; }

    // Whether keeping the stacking needs the periodic restack, and the restack itself.
    bool NeedsRestacking() const;
    void Restack();

    // What an event means for the player.
    enum class EventOutcome { Nothing, Close };
    EventOutcome Handle(const XEvent& event);

  private:
    void SetWindowManagerHints(const std::string& title, const std::string& className);
    void TakeFocusOnce();
    bool KeyEndsPlayer(XKeyEvent key) const;

    Display* display_;
    PlaybackSettings settings_;
    Visual* visual_ = nullptr;
    Colormap colormap_ = 0;
    Window window_ = 0;
    WindowRect rect_;
    Atom deleteWindow_ = 0;
    bool focused_ = false;
};

// True when a compositing manager owns the screen's _NET_WM_CM_S<n> selection.
bool CompositorRunning(Display* display);

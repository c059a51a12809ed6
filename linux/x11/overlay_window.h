// The overlay window on X11: an override-redirect 32-bit ARGB window (no window manager moves,
// tiles, frames or hides it on another workspace), click-through, stacked as the settings ask,
// ended by a key press when asked, and shaped to its picture where nothing composites it.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "settings/monitor_list.h"
#include "settings/playback_settings.h"

struct WindowRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool operator==(const WindowRect&) const = default;
};

class OverlayWindow {
  public:
    OverlayWindow(Display* display, const PlaybackSettings& settings);
    ~OverlayWindow();
    OverlayWindow(const OverlayWindow&) = delete;
    OverlayWindow& operator=(const OverlayWindow&) = delete;

    // False when the window cannot be made. Uses the screen's 32-bit TrueColor visual, else
    // (HasAlpha false) the default visual when it is 24-bit TrueColor in the same byte order.
    bool Create(const WindowRect& rect, const std::string& title, const std::string& className);
    void MoveTo(const WindowRect& rect);
    void Show();
    void Hide();
    bool Shown() const { return shown_; }

    Window Handle() const { return window_; }
    Visual* PictureVisual() const { return visual_; }
    int Depth() const { return depth_; }
    bool HasAlpha() const { return depth_ == 32; }
    const WindowRect& Rect() const { return rect_; }

    // A MapNotify or ConfigureNotify of another child of the root window: the overlay goes back
    // above it, at the latest at RaiseDueAt.
    void OtherWindowRestacked(const XEvent& event);
    // An UnmapNotify or DestroyNotify of another child of the root window: when it was another
    // overlay of this program that had the focus, and nobody has it now, the focus comes back.
    void OtherWindowGone(const XEvent& event);

    // Whether keeping the stacking needs the periodic restack, and the restack itself.
    bool NeedsRestacking() const;
    void Restack();

    // A raise that waits for the pace of raises (a few a second at most), and when it is due;
    // RaiseIfDue raises then.
    bool RaisePending() const { return raisePending_; }
    uint32_t RaiseDueAt() const;
    void RaiseIfDue(uint32_t nowMs);

    // The window shows only `opaque` minus `hidden` (both in window coordinates, `opaque`
    // YX-banded). With `clipToOpaque` false it shows everything outside `hidden`.
    void SetShape(bool clipToOpaque, const std::vector<MonitorRect>& opaque,
                  const std::vector<MonitorEntry>& hidden);

    // What an event means for the player.
    enum class EventOutcome { Nothing, Close, Repaint };
    EventOutcome Handle(const XEvent& event);

    // Whether the window has the keyboard focus now, or lost it within the last second (at
    // `nowMs`, a monotonic millisecond count): a full-screen window, a workspace switch or a
    // re-layout takes it a moment before the player hears of it.
    bool HadFocusLately(uint32_t nowMs) const;
    // Takes the focus (the key that ends the player comes back with it); a window manager that
    // moves it away again within a second loses it to the overlay once more.
    void TakeFocus();

  private:
    bool ChooseVisual();
    bool StaysAtBottom() const;
    bool IsDesktopWindow(Window window, int depth) const;
    void LowerToDesktop();
    void SetProperties(const std::string& title, const std::string& className);
    void TakeFocusOnce();
    void KeepTakenFocus(const XFocusChangeEvent& change);
    void NoteFocus(const XFocusChangeEvent& change);
    Time ServerTime();
    bool KeyEndsPlayer(XKeyEvent key) const;
    bool IsOtherOverlay(Window window, bool knownOnly);
    void RaiseAboveOthers();

    Display* display_;
    PlaybackSettings settings_;
    Visual* visual_ = nullptr;
    int depth_ = 0;
    Colormap colormap_ = 0;
    Window window_ = 0;
    WindowRect rect_;
    Atom protocols_ = 0;
    Atom deleteWindow_ = 0;
    Time focusTaken_ = 0;  // the server time the overlay last took the focus, 0 before
    bool refocused_ = false;
    bool focused_ = false;
    uint32_t focusLostAtMs_ = 0;
    bool focusEverLost_ = false;
    bool shown_ = false;
    bool shaped_ = false;
    std::string className_;
    std::map<Window, bool> overlays_;  // the windows asked, and whether each is one of ours
    bool raisePending_ = false;
    uint32_t lastRaiseMs_ = 0;
};

// What full-screen applications in front take away from the overlay: the displays they cover
// show nothing of the overlay, and when that leaves nothing to show, playback pauses. The one
// rule of both players.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "render/overlay_layout.h"
#include "settings/monitor_list.h"

// The displays whose whole rectangle lies inside one of `windows` (windows' rectangles in
// virtual-desktop coordinates), in the display list's order. A display of no size is never
// covered.
std::vector<MonitorRect> CoveredDisplays(const std::vector<DisplayEntry>& displays,
                                         std::span<const MonitorRect> windows);

inline std::vector<MonitorRect> CoveredDisplays(const std::vector<DisplayEntry>& displays,
                                                const MonitorRect& window) {
    return CoveredDisplays(displays, std::span<const MonitorRect>(&window, 1));
}

// The foreground window as the Windows player sees it: its rectangles (virtual-desktop
// coordinates) and the style facts that tell a full-screen window from a merely large one.
struct ForegroundWindowFacts {
    MonitorRect window;       // the whole window, frame included
    MonitorRect client;       // its client area
    bool caption = false;     // WS_CAPTION
    bool thickFrame = false;  // WS_THICKFRAME
    bool maximized = false;   // IsZoomed
};

// The part of the screen that the window shows its content over when it may be a full-screen
// window; none for a maximized window with a caption, whose rectangle reaches past a monitor
// by its frame on every monitor without a taskbar ({-8,-8,1928,1088}) yet leaves the caption
// in view. A borderless window counts by its whole rectangle; any other by its client area (a
// program that goes full screen by pushing its frame off the monitor).
std::optional<MonitorRect> FullScreenArea(const ForegroundWindowFacts& facts);

// What the shell says of the foreground (SHQueryUserNotificationState): nothing special, an
// exclusive Direct3D full-screen program, or presentation mode.
enum class ShellFullScreen { Ordinary, Direct3D, Presentation };

// The displays that the foreground window takes from the overlay: those its full-screen area
// covers. An exclusive Direct3D program, which need not leave a covering window, takes
// `foregroundMonitor`; presentation mode (a slide show, or a user who asked for quiet) adds
// nothing to what the window itself covers. `facts` is null when the foreground is no
// candidate (none, the desktop, the shell, the taskbar, the player's own).
std::vector<MonitorRect> DisplaysTakenByForeground(const std::vector<DisplayEntry>& displays,
                                                   const ForegroundWindowFacts* facts,
                                                   ShellFullScreen shell,
                                                   const MonitorRect& foregroundMonitor);

// A thread of a process, as SetWinEventHook takes it.
struct WindowThreadId {
    uint32_t process = 0;
    uint32_t thread = 0;

    bool operator==(const WindowThreadId&) const = default;
};

// What to do with the hook on window location changes. Windows sends one for every caret and
// cursor move, up to about a thousand a second: a system-wide hook would wake the player for
// each of them, so it follows only the thread of the foreground window, the one window whose
// moves matter.
enum class HookStep { Keep, Unhook, Hook };
struct LocationHookChoice {
    HookStep step = HookStep::Keep;
    WindowThreadId target;  // for Hook: the thread to follow (the old hook goes first)
};

// `hooked`: the thread followed now, if any. `foreground`: the foreground window's thread when
// that window may be full screen (none for no window, the desktop, the shell, the taskbar);
// a window of `ownProcess` is never followed.
LocationHookChoice ChooseLocationHook(const std::optional<WindowThreadId>& hooked,
                                      const std::optional<WindowThreadId>& foreground,
                                      uint32_t ownProcess);

// The covered parts of the overlay, relative to its corner and clipped to it; the worker clears
// them after drawing. Covered displays outside the overlay give nothing.
std::vector<MonitorEntry> HiddenAreas(const std::vector<MonitorRect>& covered,
                                      const OverlayLayout& layout);

// True when every display that the overlay's rectangle reaches is covered: nothing of the
// picture could be seen. An overlay that reaches no display has nothing to show either.
bool NothingLeftToShow(const std::vector<DisplayEntry>& displays,
                       const std::vector<MonitorRect>& covered, const OverlayLayout& layout);

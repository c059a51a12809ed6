#include "linux/x11/overlay_window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>
#include <time.h>

#include <cctype>
#include <string>

#include "linux/x11/desktop_watch.h"

namespace {

constexpr Time kKeepFocusMs = 1000;
// Two overlays kept in front, or another tool that keeps itself in front, would raise each
// other without end: raises come at most this often.
constexpr uint32_t kRaiseSpacingMs = 250;
constexpr uint32_t kFocusLostBeforeMs = 1000;

uint32_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1'000'000);
}

Atom Intern(Display* display, const char* name) {
    return XInternAtom(display, name, False);
}

XRectangle XRectangleOf(const MonitorRect& r, int32_t dx, int32_t dy) {
    return {short(r.left + dx), short(r.top + dy), static_cast<unsigned short>(r.right - r.left),
            static_cast<unsigned short>(r.bottom - r.top)};
}

Bool IsPropertyNotifyOf(Display*, XEvent* event, XPointer window) {
    return event->type == PropertyNotify &&
           event->xproperty.window == *reinterpret_cast<Window*>(window);
}

}  // namespace

OverlayWindow::OverlayWindow(Display* display, const PlaybackSettings& settings)
    : display_(display), settings_(settings) {}

OverlayWindow::~OverlayWindow() {
    if (window_) XDestroyWindow(display_, window_);
    if (colormap_) XFreeColormap(display_, colormap_);
}

bool OverlayWindow::ChooseVisual() {
    const int screen = DefaultScreen(display_);
    XVisualInfo info{};
    if (XMatchVisualInfo(display_, screen, 32, TrueColor, &info)) {
        visual_ = info.visual;
        depth_ = 32;
        return true;
    }
    // The picture's pixels are A8R8G8B8: a 24-bit visual in that byte order shows them as
    // they are, the alpha byte left out.
    Visual* visual = DefaultVisual(display_, screen);
    if (DefaultDepth(display_, screen) == 24 && visual->c_class == TrueColor &&
        visual->red_mask == 0xff0000 && visual->green_mask == 0xff00 && visual->blue_mask == 0xff) {
        visual_ = visual;
        depth_ = 24;
        return true;
    }
    return false;
}

bool OverlayWindow::Create(const WindowRect& rect, const std::string& title,
                           const std::string& className) {
    if (!ChooseVisual()) return false;
    const Window root = DefaultRootWindow(display_);
    colormap_ = XCreateColormap(display_, root, visual_, AllocNone);

    XSetWindowAttributes attributes{};
    attributes.colormap = colormap_;
    attributes.background_pixmap = None;  // no clearing before the held picture comes back
    attributes.border_pixel = 0;
    // Override-redirect: no window manager tiles, moves, frames or hides it with a workspace
    // (a managed window with the hints was tried: see README).
    attributes.override_redirect = True;
    attributes.event_mask =
        KeyPressMask | StructureNotifyMask | ExposureMask | PropertyChangeMask | FocusChangeMask;
    rect_ = rect;
    window_ = XCreateWindow(
        display_, root, rect.left, rect.top, unsigned(rect.width), unsigned(rect.height), 0, depth_,
        InputOutput, visual_,
        CWColormap | CWBackPixmap | CWBorderPixel | CWOverrideRedirect | CWEventMask, &attributes);
    if (!window_) return false;

    // Click-through: an empty input shape lets every pointer event reach the windows below.
    XserverRegion empty = XFixesCreateRegion(display_, nullptr, 0);
    XFixesSetWindowShapeRegion(display_, window_, ShapeInput, 0, 0, empty);
    XFixesDestroyRegion(display_, empty);

    SetProperties(title, className);
    Show();
    return true;
}

void OverlayWindow::SetProperties(const std::string& title, const std::string& className) {
    Xutf8SetWMProperties(display_, window_, title.c_str(), title.c_str(), nullptr, 0, nullptr,
                         nullptr, nullptr);
    XChangeProperty(display_, window_, Intern(display_, "_NET_WM_NAME"),
                    Intern(display_, "UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));
    std::string instance = className;
    for (char& c : instance) c = char(std::tolower(static_cast<unsigned char>(c)));
    XClassHint classHint{instance.data(), const_cast<char*>(className.c_str())};
    XSetClassHint(display_, window_, &classHint);

    className_ = className;
    protocols_ = Intern(display_, "WM_PROTOCOLS");
    deleteWindow_ = Intern(display_, "WM_DELETE_WINDOW");
    XSetWMProtocols(display_, window_, &deleteWindow_, 1);
}

void OverlayWindow::MoveTo(const WindowRect& rect) {
    rect_ = rect;
    XMoveResizeWindow(display_, window_, rect.left, rect.top, unsigned(rect.width),
                      unsigned(rect.height));
}

void OverlayWindow::Show() {
    if (shown_) return;
    shown_ = true;
    if (StaysAtBottom()) {
        XMapWindow(display_, window_);
        LowerToDesktop();
    } else {
        XMapRaised(display_, window_);
    }
}

void OverlayWindow::Hide() {
    if (!shown_) return;
    shown_ = false;
    XUnmapWindow(display_, window_);
}

// Another top-level window was mapped or restacked (the root's substructure notices; the
// visibility notices say nothing while a compositing manager redirects every window). The
// overlay goes back above it at once, as the topmost Windows overlay stays above ordinary
// windows; above popups and other unmanaged windows only when kept on top, which the 250 ms
// timer also keeps. Its own restack is not answered, or it would restack for ever.
void OverlayWindow::OtherWindowRestacked(const XEvent& event) {
    const bool isMap = event.type == MapNotify;
    const Window other = isMap ? event.xmap.window : event.xconfigure.window;
    const bool unmanaged =
        isMap ? event.xmap.override_redirect : event.xconfigure.override_redirect;
    if (other == window_ || (unmanaged && IsOtherOverlay(other, false))) return;
    if (!shown_ || StaysAtBottom() || (unmanaged && !settings_.keepOnTop)) return;
    raisePending_ = true;
    RaiseIfDue(MonotonicMs());
}

void OverlayWindow::OtherWindowGone(const XEvent& event) {
    const Window other =
        event.type == UnmapNotify ? event.xunmap.window : event.xdestroywindow.window;
    const bool wasOverlay = IsOtherOverlay(other, true);
    if (event.type == DestroyNotify) overlays_.erase(other);  // its id may come back
    if (!shown_ || other == window_ || !wasOverlay) return;
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    // Nobody holds it, or the window manager parked it on the desktop (openbox does so as soon as
    // the focused window goes, sometimes before this notice is read).
    if (focus == None || focus == PointerRoot || focus == DefaultRootWindow(display_) ||
        IsDesktopWindow(focus, 0)) {
        TakeFocus();
    }
}

// Whether `window` is the overlay of another player (by its class); with `knownOnly` only from
// what was learnt before (a window being destroyed cannot be asked).
bool OverlayWindow::IsOtherOverlay(Window window, bool knownOnly) {
    const auto known = overlays_.find(window);
    if (known != overlays_.end()) return known->second;
    if (knownOnly) return false;
    XClassHint hint{};
    bool ours = false;
    if (XGetClassHint(display_, window, &hint)) {
        ours = hint.res_class && className_ == hint.res_class;
        if (hint.res_name) XFree(hint.res_name);
        if (hint.res_class) XFree(hint.res_class);
    }
    overlays_[window] = ours;
    return ours;
}

uint32_t OverlayWindow::RaiseDueAt() const {
    return lastRaiseMs_ + kRaiseSpacingMs;
}

void OverlayWindow::RaiseIfDue(uint32_t nowMs) {
    if (!raisePending_ || nowMs - lastRaiseMs_ < kRaiseSpacingMs) return;
    raisePending_ = false;
    lastRaiseMs_ = nowMs;
    RaiseAboveOthers();
}

// Just above the highest window that stands over the overlay, unless that is another overlay of
// this program: two overlays kept in front settle, each above everything else.
void OverlayWindow::RaiseAboveOthers() {
    Window root = None, parent = None, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &n)) return;
    Window highest = None;
    bool above = false;
    for (unsigned int i = 0; i < n; ++i) {  // bottom first
        if (children[i] == window_) {
            above = true;
            continue;
        }
        if (!above) continue;
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, children[i], &attributes) ||
            attributes.map_state != IsViewable) {
            continue;
        }
        if (attributes.override_redirect && !settings_.keepOnTop) continue;
        if (attributes.override_redirect && IsOtherOverlay(children[i], false)) continue;
        highest = children[i];
    }
    if (children) XFree(children);
    if (highest == None) return;
    XWindowChanges changes{};
    changes.sibling = highest;
    changes.stack_mode = Above;
    XConfigureWindow(display_, window_, CWSibling | CWStackMode, &changes);
}

bool OverlayWindow::StaysAtBottom() const {
    return settings_.keepAtBottom && !settings_.keepOnTop;
}

bool OverlayWindow::NeedsRestacking() const {
    return settings_.keepOnTop || settings_.keepAtBottom;
}

void OverlayWindow::Restack() {
    if (settings_.keepOnTop) {
        RaiseAboveOthers();
    } else if (settings_.keepAtBottom) {
        LowerToDesktop();
    }
}

// True when `window` or a client a window manager framed in it is a desktop window.
bool OverlayWindow::IsDesktopWindow(Window window, int depth) const {
    bool found = HasAtom(display_, window, Intern(display_, "_NET_WM_WINDOW_TYPE"),
                         Intern(display_, "_NET_WM_WINDOW_TYPE_DESKTOP"));
    if (found || depth == 0) return found;
    Window root = None, parent = None, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(display_, window, &root, &parent, &children, &n)) return false;
    for (unsigned int i = 0; i < n && !found; ++i) found = IsDesktopWindow(children[i], depth - 1);
    if (children) XFree(children);
    return found;
}

// Beneath every window but the desktop's own (a file manager's desktop, a wallpaper window),
// which would hide it: the place of a Windows overlay at the bottom, above the wallpaper.
void OverlayWindow::LowerToDesktop() {
    Window root = None, parent = None, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &n)) {
        return;
    }
    Window aboveDesktop = None;             // the highest desktop window below every other window
    for (unsigned int i = 0; i < n; ++i) {  // bottom first
        if (children[i] == window_) continue;
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, children[i], &attributes) ||
            attributes.map_state != IsViewable) {
            continue;
        }
        if (!IsDesktopWindow(children[i], 2)) break;
        aboveDesktop = children[i];
    }
    if (children) XFree(children);
    if (aboveDesktop == None) {
        XLowerWindow(display_, window_);
        return;
    }
    XWindowChanges changes{};
    changes.sibling = aboveDesktop;
    changes.stack_mode = Above;
    XConfigureWindow(display_, window_, CWSibling | CWStackMode, &changes);
}

void OverlayWindow::SetShape(bool clipToOpaque, const std::vector<MonitorRect>& opaque,
                             const std::vector<MonitorEntry>& hidden) {
    if (!clipToOpaque && hidden.empty()) {
        if (shaped_) XShapeCombineMask(display_, window_, ShapeBounding, 0, 0, None, ShapeSet);
        shaped_ = false;
        return;
    }
    shaped_ = true;
    std::vector<XRectangle> rects;
    if (clipToOpaque) {
        rects.reserve(opaque.size());
        for (const MonitorRect& r : opaque) rects.push_back(XRectangleOf(r, 0, 0));
    } else {
        rects.push_back({0, 0, static_cast<unsigned short>(rect_.width),
                         static_cast<unsigned short>(rect_.height)});
    }
    XShapeCombineRectangles(display_, window_, ShapeBounding, 0, 0, rects.data(), int(rects.size()),
                            ShapeSet, YXBanded);
    if (hidden.empty()) return;
    rects.clear();
    for (const MonitorEntry& h : hidden) {
        rects.push_back(XRectangleOf({h.x, h.y, h.x + h.width, h.y + h.height}, 0, 0));
    }
    XShapeCombineRectangles(display_, window_, ShapeBounding, 0, 0, rects.data(), int(rects.size()),
                            ShapeSubtract, Unsorted);
}

// The time of the server now, from the notice of an empty append to a property.
Time OverlayWindow::ServerTime() {
    const Atom atom = Intern(display_, "_NOCTIVA_TIME");
    XChangeProperty(display_, window_, atom, XA_CARDINAL, 32, PropModeAppend, nullptr, 0);
    XEvent event{};
    XIfEvent(display_, &event, IsPropertyNotifyOf, reinterpret_cast<XPointer>(&window_));
    return event.xproperty.time;
}

void OverlayWindow::TakeFocusOnce() {
    if (!focusTaken_) TakeFocus();
}

void OverlayWindow::TakeFocus() {
    if (!shown_) return;
    focusTaken_ = ServerTime();
    refocused_ = false;
    // No window manager hands focus to an override-redirect window: it takes it, with a real
    // time so that the server orders it after the user's last focus change.
    XSetInputFocus(display_, window_, RevertToPointerRoot, focusTaken_);
}

bool OverlayWindow::HadFocusLately(uint32_t nowMs) const {
    return focused_ || (focusEverLost_ && nowMs - focusLostAtMs_ < kFocusLostBeforeMs);
}

void OverlayWindow::NoteFocus(const XFocusChangeEvent& change) {
    if (change.detail == NotifyInferior || change.detail == NotifyPointer) return;
    focused_ = change.type == FocusIn;
    if (!focused_) {
        focusLostAtMs_ = MonotonicMs();
        focusEverLost_ = true;
    }
}

// A window manager moves the focus to one of its windows when the settings dialog goes, or
// when a workspace or a full-screen window changes, and may do so after the overlay took it:
// taken back once, within a second of the taking.
void OverlayWindow::KeepTakenFocus(const XFocusChangeEvent& change) {
    if (refocused_ || !focusTaken_ || !shown_ || change.mode != NotifyNormal ||
        change.detail == NotifyInferior) {
        return;
    }
    const Time now = ServerTime();
    if (now - focusTaken_ > kKeepFocusMs) return;
    refocused_ = true;
    XSetInputFocus(display_, window_, RevertToPointerRoot, now);
}

bool OverlayWindow::KeyEndsPlayer(XKeyEvent key) const {
    const KeySym symbol = XLookupKeysym(&key, 0);
    // Alt+F4 closes the window as the Windows system menu does.
    if ((key.state & Mod1Mask) && symbol == XK_F4) return true;
    if (!settings_.exitOnKey) return false;
    // Alt, F10 and Alt+key are system keys on Windows: they never reach WM_KEYDOWN there.
    const bool systemKey = symbol == XK_Alt_L || symbol == XK_Alt_R || symbol == XK_Meta_L ||
                           symbol == XK_Meta_R || symbol == XK_F10 || (key.state & Mod1Mask);
    return !systemKey;
}

OverlayWindow::EventOutcome OverlayWindow::Handle(const XEvent& event) {
    switch (event.type) {
        case MapNotify:
            // The first map, and a map again soon after an unmap took the focus away.
            if (HadFocusLately(MonotonicMs())) {
                TakeFocus();
            } else {
                TakeFocusOnce();
            }
            Restack();
            return EventOutcome::Repaint;
        case Expose:
            return event.xexpose.count == 0 ? EventOutcome::Repaint : EventOutcome::Nothing;
        case FocusIn:
            NoteFocus(event.xfocus);
            return EventOutcome::Nothing;
        case FocusOut:
            NoteFocus(event.xfocus);
            KeepTakenFocus(event.xfocus);
            return EventOutcome::Nothing;
        case KeyPress:
            return KeyEndsPlayer(event.xkey) ? EventOutcome::Close : EventOutcome::Nothing;
        case ClientMessage:
            if (event.xclient.message_type == protocols_ && event.xclient.format == 32 &&
                Atom(event.xclient.data.l[0]) == deleteWindow_) {
                return EventOutcome::Close;
            }
            return EventOutcome::Nothing;
        case DestroyNotify:
            return event.xdestroywindow.window == window_ ? EventOutcome::Close
                                                          : EventOutcome::Nothing;
        default:
            return EventOutcome::Nothing;
    }
}

#include "linux/x11/desktop_watch.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xfixes.h>

#include <string>

namespace {

// The window a property names (a single WINDOW), or None.
Window ReadWindowProperty(Display* display, Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Window value = None;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_WINDOW, &type, &format,
                           &count, &after, &data) == Success &&
        data && format == 32 && count == 1) {
        value = Window(*reinterpret_cast<unsigned long*>(data));
    }
    if (data) XFree(data);
    return value;
}

}  // namespace

bool HasAtom(Display* display, Window window, Atom property, Atom wanted) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(display, window, property, 0, 64, False, XA_ATOM, &type, &format, &count,
                           &after, &data) == Success &&
        data && format == 32) {
        const unsigned long* atoms = reinterpret_cast<unsigned long*>(data);
        for (unsigned long i = 0; i < count && !found; ++i) found = Atom(atoms[i]) == wanted;
    }
    if (data) XFree(data);
    return found;
}

DesktopWatch::DesktopWatch(Display* display, Window overlay)
    : display_(display), root_(DefaultRootWindow(display)), overlay_(overlay) {}

DesktopWatch::~DesktopWatch() {
    FollowActiveWindow(None);
}

void DesktopWatch::Start() {
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display_));
    cmSelection_ = XInternAtom(display_, name.c_str(), False);
    activeWindowAtom_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    stateAtom_ = XInternAtom(display_, "_NET_WM_STATE", False);
    fullScreenAtom_ = XInternAtom(display_, "_NET_WM_STATE_FULLSCREEN", False);

    int errorBase = 0;
    if (XFixesQueryExtension(display_, &fixesEventBase_, &errorBase)) {
        XFixesSelectSelectionInput(display_, root_, cmSelection_,
                                   XFixesSetSelectionOwnerNotifyMask |
                                       XFixesSelectionWindowDestroyNotifyMask |
                                       XFixesSelectionClientCloseNotifyMask);
    } else {
        fixesEventBase_ = -1;
    }
    XWindowAttributes attributes{};
    XGetWindowAttributes(display_, root_, &attributes);
    // The substructure notices tell the overlay when another window comes above it.
    XSelectInput(display_, root_,
                 attributes.your_event_mask | PropertyChangeMask | SubstructureNotifyMask);
    composited_ = ReadComposited();
    FollowActiveWindow(ReadActiveWindow());
    fullScreen_ = ReadFullScreen();
}

bool DesktopWatch::ReadComposited() const {
    return XGetSelectionOwner(display_, cmSelection_) != None;
}

Window DesktopWatch::ReadActiveWindow() const {
    const Window window = ReadWindowProperty(display_, root_, activeWindowAtom_);
    return window == overlay_ ? None : window;
}

// Notices from the active window only: the one before is left alone again.
void DesktopWatch::FollowActiveWindow(Window window) {
    if (window == active_) return;
    if (active_ != None) XSelectInput(display_, active_, NoEventMask);
    active_ = window;
    if (active_ != None) XSelectInput(display_, active_, PropertyChangeMask | StructureNotifyMask);
}

std::vector<MonitorRect> DesktopWatch::ReadFullScreen() const {
    if (active_ == None || !HasAtom(display_, active_, stateAtom_, fullScreenAtom_)) return {};
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display_, active_, &attributes) ||
        attributes.map_state != IsViewable) {
        return {};
    }
    int x = 0, y = 0;
    Window child = None;
    if (!XTranslateCoordinates(display_, active_, root_, 0, 0, &x, &y, &child)) return {};
    return {{x, y, x + attributes.width, y + attributes.height}};
}

int DesktopWatch::FullScreenChange() {
    std::vector<MonitorRect> now = ReadFullScreen();
    const bool same = now == fullScreen_;
    fullScreen_ = std::move(now);
    return same ? Nothing : FullScreen;
}

int DesktopWatch::Handle(const XEvent& event) {
    if (fixesEventBase_ >= 0 && event.type == fixesEventBase_ + XFixesSelectionNotify) {
        const bool was = composited_;
        composited_ = ReadComposited();
        return composited_ != was ? Compositor : Nothing;
    }
    if (event.type == PropertyNotify && event.xproperty.window == root_) {
        if (event.xproperty.atom != activeWindowAtom_) return Nothing;
        FollowActiveWindow(ReadActiveWindow());
        return FullScreenChange();
    }
    if (active_ == None || event.xany.window != active_) return Nothing;
    switch (event.type) {
        case PropertyNotify:
            return event.xproperty.atom == stateAtom_ ? FullScreenChange() : Nothing;
        case ConfigureNotify:
        case MapNotify:
        case UnmapNotify:
            return FullScreenChange();
        case DestroyNotify:
            active_ = None;
            return FullScreenChange();
        default:
            return Nothing;
    }
}

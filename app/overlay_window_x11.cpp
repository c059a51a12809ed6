#include "app/overlay_window_x11.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>

#include <cctype>
#include <string>

namespace {

Atom Intern(Display* display, const char* name) {
    return XInternAtom(display, name, False);
}

// Asks the window manager to add a _NET_WM_STATE to a mapped window; a window manager that
// does not know the state ignores the request.
void AddWindowState(Display* display, Window window, Atom state) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = Intern(display, "_NET_WM_STATE");
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;  // _NET_WM_STATE_ADD
    event.xclient.data.l[1] = long(state);
    event.xclient.data.l[3] = 1;  // a normal application
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

}  // namespace

OverlayWindow::OverlayWindow(Display* display, const PlaybackSettings& settings)
    : display_(display), settings_(settings) {}

OverlayWindow::~OverlayWindow() {
    if (window_) XDestroyWindow(display_, window_);
    if (colormap_) XFreeColormap(display_, colormap_);
}

bool OverlayWindow::Create(const WindowRect& rect, const std::string& title,
                           const std::string& className) {
    const int screen = DefaultScreen(display_);
    XVisualInfo info{};
    if (!XMatchVisualInfo(display_, screen, 32, TrueColor, &info)) return false;
    visual_ = info.visual;
    const Window root = RootWindow(display_, screen);
    colormap_ = XCreateColormap(display_, root, visual_, AllocNone);

    XSetWindowAttributes attributes{};
    attributes.colormap = colormap_;
    attributes.background_pixel = 0;  // transparent until the first picture
    attributes.border_pixel = 0;
    attributes.event_mask = KeyPressMask | StructureNotifyMask | VisibilityChangeMask;
    rect_ = rect;
    window_ = XCreateWindow(display_, root, rect.left, rect.top, unsigned(rect.width),
                            unsigned(rect.height), 0, 32, InputOutput, visual_,
                            CWColormap | CWBackPixel | CWBorderPixel | CWEventMask, &attributes);
    if (!window_) return false;

    // Click-through: an empty input shape lets every pointer event reach the windows below.
    XserverRegion empty = XFixesCreateRegion(display_, nullptr, 0);
    XFixesSetWindowShapeRegion(display_, window_, ShapeInput, 0, 0, empty);
    XFixesDestroyRegion(display_, empty);

    SetWindowManagerHints(title, className);
    XMapRaised(display_, window_);
    return true;
}

void OverlayWindow::SetWindowManagerHints(const std::string& title, const std::string& className) {
    Xutf8SetWMProperties(display_, window_, title.c_str(), title.c_str(), nullptr, 0, nullptr,
                         nullptr, nullptr);
    XChangeProperty(display_, window_, Intern(display_, "_NET_WM_NAME"),
                    Intern(display_, "UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));
    std::string instance = className;
    for (char& c : instance) c = char(std::tolower(static_cast<unsigned char>(c)));
    XClassHint classHint{instance.data(), const_cast<char*>(className.c_str())};
    XSetClassHint(display_, window_, &classHint);

    // The window manager places the window exactly where asked, at the asked size.
    XSizeHints size{};
    size.flags = USPosition | USSize | PPosition | PSize;
    size.x = rect_.left;
    size.y = rect_.top;
    size.width = rect_.width;
    size.height = rect_.height;
    XSetWMNormalHints(display_, window_, &size);

    XWMHints wmHints{};
    wmHints.flags = InputHint;
    wmHints.input = True;  // it takes the keyboard focus once, for the key that ends the player
    XSetWMHints(display_, window_, &wmHints);

    deleteWindow_ = Intern(display_, "WM_DELETE_WINDOW");
    XSetWMProtocols(display_, window_, &deleteWindow_, 1);

    // No frame and no title bar (the Motif hints that window managers honour for this).
    const long motif[5] = {2 /* decorations */, 0, 0 /* none */, 0, 0};
    const Atom motifAtom = Intern(display_, "_MOTIF_WM_HINTS");
    XChangeProperty(display_, window_, motifAtom, motifAtom, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motif), 5);

    // The initial stacking state: above for normal and kept-on-top (the Windows overlay is a
    // topmost window), below for kept-at-bottom.
    const Atom state =
        Intern(display_, settings_.keepAtBottom && !settings_.keepOnTop ? "_NET_WM_STATE_BELOW"
                                                                        : "_NET_WM_STATE_ABOVE");
    XChangeProperty(display_, window_, Intern(display_, "_NET_WM_STATE"), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&state), 1);
}

void OverlayWindow::MoveTo(const WindowRect& rect) {
    rect_ = rect;
    XMoveResizeWindow(display_, window_, rect.left, rect.top, unsigned(rect.width),
                      unsigned(rect.height));
}

bool OverlayWindow::NeedsRestacking() const {
    return settings_.keepOnTop || settings_.keepAtBottom;
}

void OverlayWindow::Restack() {
    if (settings_.keepOnTop) {
        XRaiseWindow(display_, window_);
    } else if (settings_.keepAtBottom) {
        XLowerWindow(display_, window_);
    }
}

void OverlayWindow::TakeFocusOnce() {
    if (focused_) return;
    focused_ = true;
    // A window manager moves the focus on _NET_ACTIVE_WINDOW; without one, set it directly.
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window_;
    event.xclient.message_type = Intern(display_, "_NET_ACTIVE_WINDOW");
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;  // from an application
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, DefaultRootWindow(display_), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
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
            TakeFocusOnce();
            // A window manager reads the initial state at the map; this repeats it for one that
            // only reacts to requests on mapped windows.
            if (settings_.keepOnTop || !settings_.keepAtBottom) {
                AddWindowState(display_, window_, Intern(display_, "_NET_WM_STATE_ABOVE"));
            } else {
                AddWindowState(display_, window_, Intern(display_, "_NET_WM_STATE_BELOW"));
            }
            Restack();
            return EventOutcome::Nothing;
        case VisibilityNotify:
            // Covered by a window that came up later: back on top at once rather than at the
            // next tick. (Restacking on every ConfigureNotify, as the Windows overlay does on
            // WM_WINDOWPOSCHANGED, would answer its own restack for ever.)
            if (settings_.keepOnTop && event.xvisibility.state != VisibilityUnobscured) {
                Restack();
            }
            return EventOutcome::Nothing;
        case KeyPress:
            return KeyEndsPlayer(event.xkey) ? EventOutcome::Close : EventOutcome::Nothing;
        case ClientMessage:
            if (event.xclient.format == 32 && Atom(event.xclient.data.l[0]) == deleteWindow_) {
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

bool CompositorRunning(Display* display) {
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    return XGetSelectionOwner(display, Intern(display, name.c_str())) != None;
}

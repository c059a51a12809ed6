#include "linux/x11/x11_backend.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <utility>

#include "linux/x11/gtk_display.h"
#include "linux/x11/monitor_list.h"
#include "linux/x11/picture_presenter.h"
#include "linux/x11/presentation_loop.h"

namespace {

Display* display = nullptr;
bool onGtkConnection = false;

bool OpenX11(std::string& reason) {
    display = XOpenDisplay(nullptr);
    if (!display) {
        const char* name = std::getenv("DISPLAY");
        reason = name && *name ? std::string("cannot open the X display ") + name
                               : std::string("DISPLAY is not set");
    }
    return display != nullptr;
}

std::vector<DisplayEntry> ListX11Displays() {
    return EnumerateX11Displays(display);
}

int PlayOnX11(const PlaybackSettings& settings, const std::string& archivePath,
              PlayerFailure& failure) {
    // Installed after the dialog: GTK keeps a handler of its own for its connection.
    TolerateProtocolErrors();
    // The overlay plays on GTK's connection where there is one, so that it is read.
    if (Display* gtkDisplay = GtkXDisplay()) {
        XCloseDisplay(std::exchange(display, gtkDisplay));
        onGtkConnection = true;
    }
    // Listed again: monitors may have come or gone while the dialog was open.
    return RunPlayback(display, settings, EnumerateX11Displays(display), archivePath, failure);
}

void CloseX11() {
    if (display && !onGtkConnection) XCloseDisplay(display);
    display = nullptr;
}

}  // namespace

const OverlayBackend kX11Backend{"x11",     "X11 (an override-redirect window with an input shape)",
                                 OpenX11,   ListX11Displays,
                                 PlayOnX11, CloseX11};

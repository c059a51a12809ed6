// The Linux player's entry: the settings dialog (GTK), then the X11 overlay and its worker.
#include <X11/Xlib.h>

#include <clocale>
#include <cstdio>
#include <utility>

#include "app/gtk_display_gtk.h"
#include "app/picture_presenter_x11.h"
#include "app/presentation_loop_x11.h"
#include "settings/monitor_list_x11.h"
#include "settings/settings_dialog_gtk.h"

int main() {
    std::setlocale(LC_ALL, "");  // the label's decimal separator is the user's
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "noctiva: cannot open the X display\n");
        return 0;
    }
    std::vector<DisplayEntry> displays = EnumerateX11Displays(display);
    PlaybackSettings settings;
    // A dialog that cannot be shown leaves the default settings, as on Windows.
    if (RunSettingsDialog(settings, displays) == 2) {
        XCloseDisplay(display);
        return 0;
    }
    // Installed after the dialog: GTK keeps a handler of its own for its connection.
    TolerateProtocolErrors();
    // The overlay plays on GTK's connection where there is one, so that it is read.
    Display* gtkDisplay = GtkXDisplay();
    if (gtkDisplay) XCloseDisplay(std::exchange(display, gtkDisplay));
    // Listed again: monitors may have come or gone while the dialog was open.
    const int status = RunPlayback(display, settings, EnumerateX11Displays(display));
    if (!gtkDisplay) XCloseDisplay(display);
    return status;
}

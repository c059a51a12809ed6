#include "linux/wayland/wayland_backend.h"

#include <gdk/gdkwayland.h>
#include <gtk-layer-shell.h>
#include <gtk/gtk.h>

#include <cstdlib>

#include "linux/wayland/layer_overlay.h"

namespace {

bool OpenWayland(std::string& reason) {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name) {
        reason = "WAYLAND_DISPLAY is not set";
        return false;
    }
    // The dialog then opens on the same compositor as the overlay.
    gdk_set_allowed_backends("wayland");
    const bool started = gtk_init_check(nullptr, nullptr);
    gdk_set_allowed_backends(nullptr);
    if (!started) {
        reason = std::string("GTK cannot open the Wayland display ") + name;
        return false;
    }
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_WAYLAND_DISPLAY(display) || !gtk_layer_is_supported()) {
        // GNOME's Mutter offers no layer shell: its X11 overlay passes clicks through.
        reason = "the compositor offers no layer shell (zwlr_layer_shell_v1)";
        return false;
    }
    return true;
}

std::vector<DisplayEntry> ListWaylandDisplays() {
    return LogicalDisplays(ListWaylandOutputs(gdk_display_get_default()));
}

void CloseWayland() {}

}  // namespace

const OverlayBackend kWaylandBackend{"wayland",       "Wayland (layer-shell surfaces)",
                                     OpenWayland,     ListWaylandDisplays,
                                     RunLayerOverlay, CloseWayland};

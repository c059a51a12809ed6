#include "linux/x11/gtk_display.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

Display* GtkXDisplay() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return nullptr;
    return gdk_x11_display_get_xdisplay(display);
}

#include "app/gtk_display_gtk.h"

#include <gtk/gtk.h>

void CloseGtkDisplay() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return;
    while (gtk_events_pending()) gtk_main_iteration();  // the dialog's last notices
    gdk_display_close(display);
}

bool ReopenGtkDisplay() {
    if (gdk_display_get_default()) return true;
    GdkDisplay* display = gdk_display_open(nullptr);
    if (!display) return false;
    gdk_display_manager_set_default_display(gdk_display_manager_get(), display);
    return true;
}

// GTK's own X connection, which the overlay plays on once the settings dialog is done.
#pragma once

#include <X11/Xlib.h>

// GTK's Xlib connection when GTK runs on X11, else nullptr. Playing on it keeps it read (left
// open and unread it would pile up every notice the server sends it), and keeps GTK whole for a
// later message dialog: closing GTK's display and opening another leaves GTK 3 drawing nothing
// of some widgets (tried).
Display* GtkXDisplay();

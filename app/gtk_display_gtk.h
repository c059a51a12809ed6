// GTK's own X connection, which the player needs only while a dialog is up.
#pragma once

// Closes GTK's display connection once the settings dialog is done: left open and unread, it
// would pile up every notice the server sends it for as long as the player plays.
void CloseGtkDisplay();

// Opens GTK's display connection again (the one named by DISPLAY) as the default one, for a
// dialog after CloseGtkDisplay; false when it cannot be opened. Opening GTK again with
// gtk_init_check is not enough: it keeps the closed display as the default.
bool ReopenGtkDisplay();

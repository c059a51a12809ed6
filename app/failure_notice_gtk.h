// Telling the Linux player's user why it cannot go on: one line on standard error and a GTK
// message dialog in the user's language.
#pragma once

#include "app/player_failure.h"

// Prints "noctiva: FILE: REASON" on standard error, then shows a modal warning dialog with the
// window title as its title, above other windows, and waits until it is closed. Call it on the
// main thread once the X display and the worker are given back; the dialog opens a GTK
// connection of its own when none is open. Without a display only the line is written.
void TellFailure(const PlayerFailure& failure);

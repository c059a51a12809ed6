// Telling the Linux player's user why it cannot go on: one line on standard error and a GTK
// message dialog in the user's language.
#pragma once

#include "playback/player_failure.h"

// Prints "noctiva: FILE: REASON" on standard error, then shows a modal warning dialog with the
// window title as its title, above other windows, and waits until it is closed. The dialog runs
// in a fresh process of this program: GTK cannot open a second connection in a process whose
// first one was closed after the settings dialog. Call it on the main thread once the X display
// and the worker are given back. Without a display only the line is written.
void TellFailure(const PlayerFailure& failure);

// In that fresh process: shows the dialog that the environment asks for and returns true; false
// (at once) in a process started by the user.
bool ShowRequestedFailureNotice();

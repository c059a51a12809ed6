// Telling the user why the Windows player cannot go on, then ending it with status 1.
//
// Every failure the player decides on ends through EndWithFailure: on the main thread where it is
// met there, and on the playback worker once the worker has given back what it held (its
// resources on the device and the archive). The message box waits on the main thread with
// nothing held:
//  - On the playback worker, it gives the picture lock up when the worker holds it, records the
//    failure, asks the overlay window to close and ends the worker thread. The main thread goes on
//    dispatching messages meanwhile; the window's end joins the worker and ends the
//    presentation loop, and the main routine then ends through EndWithFailure with the
//    recorded failure.
//  - On the main thread, it gives the picture lock up when held, stops the worker (its current
//    turn, for a limited time), releases the picture surface, the device and the Direct3D object
//    once no worker can use them, destroys the overlay window, shows the message box and ends
//    the process with status 1; the exit-time clean-up still runs.
// A worker that the player did not start (test programs run RunPlayback on threads of their
// own) tells and ends the process itself; what other threads still use is then left to the
// exit-time clean-up.
#pragma once

#include <windows.h>

#include <string>

#include "playback/player_failure.h"
#include "windows/app_state.h"

[[noreturn]] void EndWithFailure(const PlayerFailure& failure);

// A failed graphics device call: "WHAT (error 0x8876086C)".
PlayerFailure DeviceFailure(const char* what, HRESULT result);

// The failure a worker recorded before it asked the window to close; false when none was.
bool TakeRecordedFailure(PlayerFailure& failure);

// The message for a failure from the string table, in the thread's UI language.
std::wstring FailureMessageText(const PlayerFailure& failure);

// How the message is shown from now on (FailureTeller in app_state.h); null: the message box.
// Set before any worker starts.
void SetFailureTeller(FailureTeller teller);

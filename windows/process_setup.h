// Process-wide set-up before the main routine and its clean-up at process exit.
#pragma once

#include <windows.h>

// Registers a function to run at process exit; the runtime's atexit in the player.
using ExitRegistrar = int (*)(void (*)());

// The one exception the player raises: the picture lock could not be initialised. Nothing
// catches it, so the process ends abnormally, as an unhandled out-of-memory error should.
struct PictureLockInitFailure {
    HRESULT result;
};

using CriticalSectionInit = BOOL(WINAPI*)(LPCRITICAL_SECTION, DWORD);

// Initialises `lock`; throws PictureLockInitFailure{E_OUTOFMEMORY} when the system cannot.
void InitialisePictureLock(CRITICAL_SECTION& lock,
                           CriticalSectionInit init = InitializeCriticalSectionAndSpinCount);

// Locale, COM, common controls, timer resolution, module handle, screen device context, the
// frame-ready event and the picture lock, in this order; each clean-up is handed to
// `registerAtExit` so that they run in the reverse order.
void SetUpProcess(ExitRegistrar registerAtExit);

#include <windows.h>

#include "interrupt_cleanup.h"

namespace {

// Windows runs this on a thread of its own. After a close the system ends the process within
// a few seconds anyway; the clean-up takes milliseconds.
BOOL WINAPI OnConsoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            RemoveFilesOfInterruptedRun();
            // Not ExitProcess: the other threads may hold the C runtime's locks.
            TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void InstallInterruptCleanup() {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

#include "dropped_files.h"

// A drop is Explorer's; elsewhere a file name in place of a command stays a usage error.
std::string ProgramFolder() {
    return "";
}

bool HasOwnConsoleWindow() {
    return false;
}

void WaitForKeyPress() {}

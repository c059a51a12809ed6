#pragma once

#include <functional>
#include <string>
#include <vector>

// Files dropped onto vektool.exe: Explorer starts it with their paths as its only arguments,
// in an order of its own. They become vek.bin beside vektool.exe, which noctiva.exe plays.

inline constexpr const char* kArchiveName = "vek.bin";

// Name order as a folder shows it: by file name, letters without case and runs of digits by
// their value ("frame 9" before "frame 10"); the folders decide between equal names.
bool NameOrderLess(const std::string& a, const std::string& b);

// The first of "vek (previous).bin", "vek (previous 2).bin", ... that is not `taken`.
std::string PreviousArchiveName(const std::function<bool(const std::string&)>& taken);

// True when the arguments are files and no command: what Explorer gives for a drop.
bool LooksLikeDroppedFiles(int argc, char** argv);

// Packs with pack's `packArguments` (options and inputs, no -o) into `folder`/vek.bin. The
// archive that was there is kept under a previous name, which is returned (empty when there was
// none); after a failed pack it is back in place. Throws ToolError.
std::string PackKeepingPrevious(const std::vector<std::string>& packArguments,
                                const std::string& folder);

// Packs the files in name order into `folder`/vek.bin as pack does. The archive that was there
// is kept under a previous name; after a failed pack it is back in place. Throws ToolError.
void PackDroppedFiles(std::vector<std::string> files, const std::string& folder);

// The drop: packs into vektool's own folder, reports, and in a console window of its own
// waits for a key so that its last line can be read. The exit status.
int DropCommand(int argc, char** argv);

// The platform's part.
// The folder that holds the running program; empty where drops are not taken.
std::string ProgramFolder();
// True when the console belongs to this process alone: Explorer opened it for the drop, and
// it closes when vektool ends.
bool HasOwnConsoleWindow();
void WaitForKeyPress();

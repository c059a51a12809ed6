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

// For "vek.bin": the first of "vek (previous).bin", "vek (previous 2).bin", ... that is not
// `taken`; other names alike.
std::string PreviousArchiveName(const std::string& archiveName,
                                const std::function<bool(const std::string&)>& taken);

// True when the arguments are files or folders and no command: what Explorer gives for a drop.
bool LooksLikeDroppedFiles(int argc, char** argv);

// The pictures and videos in a folder (not in its subfolders), in name order. Throws ToolError
// when it holds none.
std::vector<std::string> FilesInFolder(const std::string& folder);

// The inputs with each folder replaced by the files in it.
std::vector<std::string> ExpandFolders(const std::vector<std::string>& inputs);

// The drop's placement of a finished archive: the archive at `archive`, if any, is kept as the
// first free previous name (told in `previous`), and an archive stays in place throughout.
void KeepPreviousArchive(const std::string& finished, const std::string& archive,
                         std::string& previous);

// Packs the files in name order into `folder`/vek.bin as `pack --keep-previous` does: into a
// temporary file first. Only a complete archive replaces the one that was there, which is kept
// under a previous name; a failed or interrupted pack leaves it untouched. Throws ToolError.
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

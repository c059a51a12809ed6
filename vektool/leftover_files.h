#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// The scratch and temporary files of a pack lie beside its archive, named after it:
// "vek.bin.vektool-123456.partial" (the archive being written), ".streams" (the frames'
// streams), ".input" (a video read from a pipe). A process that was killed outright leaves them
// behind; the next pack into that folder recognises them by name and removes them.

// A new file beside `path`, in the same folder so that a rename can put it in place. Open for
// reading and writing; `name` receives its path. Throws ToolError.
std::FILE* CreateScratchBeside(const std::string& path, const std::string& suffix,
                               std::string& name);

// True for a name that CreateScratchBeside makes, and for the ".bin.tmpNNNNNN" names of earlier
// versions.
bool IsLeftoverName(std::string_view fileName);

// Removes the leftovers in `folder` that were last written at least `minimumAge` seconds ago
// and that no process holds open: the number removed.
size_t RemoveLeftoverFiles(const std::string& folder, double minimumAge = 60);

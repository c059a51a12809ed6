// Where `vektool pack` writes when it is given no -o.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// The folder for vek.bin without -o: for a vektool installed as PREFIX/bin/vektool with the
// player's PREFIX/share/noctiva beside it (the Linux package's /usr/bin), the folder of the
// user's own archive, where the installed player looks; empty otherwise (in a build or an
// unpacked folder -o is needed), and empty when there is no user archive.
std::string DefaultPackFolder(std::string_view programPath, std::string_view userArchive,
                              const std::function<bool(const std::string&)>& isFolder);

// The same for this process, from its own path and its environment.
std::string DefaultPackFolder();

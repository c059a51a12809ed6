// Paths that Windows hands out, whatever their length: with long paths enabled a folder may lie
// deeper than MAX_PATH characters.
#pragma once

#include <windows.h>

#include <string>

// The file of `module` (null: the program's own); empty when Windows cannot say.
std::wstring ModuleFilePath(HMODULE module = nullptr);

// The process's current directory; empty when Windows cannot say.
std::wstring CurrentDirectoryPath();

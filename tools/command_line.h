#pragma once

#include <cstdint>
#include <string>

#include "archive/image_unpacker.h"

// Helpers the sub-commands share for their arguments and archives.

// A decimal number within [low, high]; a usage error names the option otherwise.
uint32_t ParseNumber(const std::string& text, uint32_t low, uint32_t high, const std::string& what);

// Opens the archive or fails with a clear line naming it.
void OpenArchiveOrFail(ImageUnpacker& unpacker, const std::string& path);

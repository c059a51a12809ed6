#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/image_unpacker.h"

// Helpers the sub-commands share for their arguments and archives.

// A decimal number within [low, high]; a usage error names the option otherwise.
uint32_t ParseNumber(const std::string& text, uint32_t low, uint32_t high, const std::string& what);

// "WxH", each side 1 to 16384; a usage error names `what` otherwise.
void ParseSize(const std::string& text, const std::string& what, uint32_t& width, uint32_t& height);

// Opens the archive or fails with a clear line naming it.
void OpenArchiveOrFail(ImageUnpacker& unpacker, const std::string& path);
// Frame n into `frame`, or fails with an input error that names the archive and the frame.
void ReadFrameOrFail(ImageUnpacker& unpacker, const std::string& path, uint32_t n,
                     std::vector<uint8_t>& frame);

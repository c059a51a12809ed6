#pragma once

#include <cstdint>
#include <string>

#include "pack_inputs.h"

// The platform's own video decoders, for computers without ffmpeg: Media Foundation on
// Windows; none elsewhere.

// True when ffmpeg cannot be started and the platform has decoders of its own.
bool UseSystemVideoReader();

// Reads a video as ReadVideoFile does; the number of source frames read. Throws ToolError.
uint64_t ReadVideoWithSystemReader(const std::string& path, const SizeRule& rule, FrameSink& sink);

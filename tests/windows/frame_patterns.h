// Grey test frames (bottom row first, as the archive stores them).
#pragma once

#include <cstdint>
#include <vector>

enum class Pattern { Noise, Gradient, Disc };

const char* PatternName(Pattern pattern);

// W x H grey bytes. The seed shifts the pattern, so frames of one pattern differ.
std::vector<uint8_t> MakeFrame(Pattern pattern, int32_t W, int32_t H, int seed);

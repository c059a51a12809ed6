// Turns a decoded grey frame into the shadow and cut-out alpha pictures.
#pragma once

#include <cstdint>

// frame: W x H grey bytes, bottom row first. Both outputs: W x H A8R8G8B8 words, top row first,
// colour bits 0; shadow alpha = S * (255 - v) / 255 (truncated), cut-out alpha = 255 - v.
void ComposeFrame(const uint8_t* frame, int32_t W, int32_t H, uint8_t S, uint32_t* shadowBuffer,
                  uint32_t* cutoutBuffer);

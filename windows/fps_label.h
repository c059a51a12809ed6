// The frame-rate label drawn into the top-left corner of the presented picture.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// "FPS:%.1f" with the decimal separator of the runtime library's locale.
std::wstring FpsText(double rate);

// Makes every pixel of `box` (clipped to the bitmap) opaque; rows lie `width` pixels apart.
void MakeBoxOpaque(uint32_t* bits, int32_t width, int32_t height, const RECT& box);

// Draws the label for `rate` into `target`'s top-left corner: an opaque black box of the text's
// size with yellow text. Its font, device context and bitmap are made at the first call; the
// bitmap keeps twice the size of that first label.
void DrawFpsLabel(HDC target, double rate);

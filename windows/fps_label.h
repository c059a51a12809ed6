// The frame-rate label drawn into the top-left corner of the presented picture.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// "FPS:%.1f" with the decimal separator of the runtime library's locale.
std::wstring FpsText(double rate);

// Makes every pixel of `box` (clipped to the bitmap) opaque; rows lie `width` pixels apart.
void MakeBoxOpaque(uint32_t* bits, int32_t width, int32_t height, const RECT& box);

// The dots per inch that the label is drawn for: the window's (null: the screen's).
UINT LabelDpi(HWND window);

// Draws the label for `rate` into `target`'s top-left corner: an opaque black box of the text's
// size with yellow text, scaled with the overlay window's dots per inch (16 pixels high at 96).
// Its font, device context and bitmap are made at the first call and again when the scale
// changed; the bitmap keeps twice the size of the first label at that scale.
void DrawFpsLabel(HDC target, double rate);

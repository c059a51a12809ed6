// The finished overlay picture without any graphics interface: the fill with B, then per
// placement the cut-out, white and shadow draws, sampled bilinearly from power-of-two textures
// whose texels beyond the image repeat its last column and row.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "render/placement.h"

// Where a pixel is shaded, in half pixels from its top-left corner. Direct3D 9 puts pixel centres
// at integer screen coordinates and the quads carry no half-pixel adjustment, so a pixel px of a
// picture starting at x0 samples u = uMax * (px - x0) / pictureWidth: 0. (Direct3D 10 and later
// would be 1.) Coverage does not depend on it: with integer picture edges, pixel px is drawn
// when x0 <= px < x0 + pictureWidth.
inline constexpr int kPixelCentreHalfPixels = 0;

// Bilinear weights are fixed point with this many fractional bits of a texel, as 8-bit textures
// are filtered by Direct3D 9 hardware and by Mesa's llvmpipe. The texel position is rounded to
// the nearest step.
inline constexpr int kSubtexelBits = 8;
inline constexpr uint32_t kSubtexelSteps = 1u << kSubtexelBits;

// A texture side for an image side: the next power of two, at least 1 (0 -> 1, 3 -> 4,
// 480 -> 512, 512 -> 512).
uint32_t TextureSide(int32_t imageSide);

// The texture coordinate that reaches the image's far edge: imageSide / TextureSide(imageSide)
// as a float (480 -> 0.9375, 360 -> 0.703125, 1 -> 1.0).
float TexCoordMax(int32_t imageSide);

// The two image texels that bilinear filtering mixes for one pixel along one axis, and the
// weight of the second in 1 / kSubtexelSteps. Texels before the image and beyond it (where the
// power-of-two texture repeats the image's last column or row, and clamp addressing repeats the
// texture's edge) are the image's first and last texels.
struct TexelPair {
    int32_t first = 0;
    int32_t second = 0;
    uint32_t weight = 0;  // of `second`, 0 .. kSubtexelSteps - 1
};

// For pixel `pixel` of a picture covering [pictureStart, pictureStart + pictureSize) that shows
// an image of `imageSize` texels (both sizes greater than 0).
TexelPair SampleTexels(int64_t pixel, int64_t pictureStart, int64_t pictureSize, int32_t imageSize);

// Straightforward evaluation of the blend equations, sampling each composed texture on its own.
// It is the oracle that faster paths (and the Direct3D 9 path) are compared against.
// target: targetWidth x targetHeight premultiplied A8R8G8B8 words, top row first.
// Each draw is clipped to the placement's viewport and to the target. Every blend step computes
// src * srcFactor + dst * dstFactor per channel from the filtered (unrounded) texel and the stored
// 8-bit destination, and stores it rounded to the nearest 8-bit value (halves up).
void RenderReference(const uint32_t* shadowBuffer, const uint32_t* cutoutBuffer, int32_t W,
                     int32_t H, uint8_t B, const std::vector<Placement>& placements,
                     uint32_t* target, int32_t targetWidth, int32_t targetHeight);

// The fast path used by the tool and by platforms without Direct3D 9. Built once per frame size,
// target size and placement list; Render() may be called for every frame.
class SoftwareRenderer {
  public:
    SoftwareRenderer(int32_t frameWidth, int32_t frameHeight, int32_t targetWidth,
                     int32_t targetHeight, std::vector<Placement> placements);
    ~SoftwareRenderer();
    SoftwareRenderer(const SoftwareRenderer&) = delete;
    SoftwareRenderer& operator=(const SoftwareRenderer&) = delete;

    // frame: W x H grey bytes, bottom row first, as ReadFrame returns it. target: as for
    // RenderReference. Every pixel is within 2 of RenderReference fed with ComposeFrame's buffers
    // (the grey frame is resampled once per pixel, to 1/16 of a grey level, and mapped through a
    // table of finished pixels); flat regions of the frame give exactly the oracle's pixels.
    void Render(const uint8_t* frame, uint8_t S, uint8_t B, uint32_t* target);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The finished overlay picture without any graphics interface: the fill with B, then per
// placement the cut-out, white and shadow draws, sampled bilinearly from power-of-two textures
// whose texels beyond the image repeat its last column and row.
#pragma once

#include <cstdint>
#include <vector>

#include "render/placement.h"

// Straightforward evaluation of the blend equations, sampling each composed texture on its own.
// It is the oracle that faster paths (and the Direct3D 9 path) are compared against.
// target: targetWidth x targetHeight premultiplied A8R8G8B8 words, top row first.
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

    // frame: W x H grey bytes, bottom row first, as ReadFrame returns it.
    void Render(const uint8_t* frame, uint8_t S, uint8_t B, uint32_t* target);

private:
    struct Impl;
    Impl* impl_;
};

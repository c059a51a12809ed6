#pragma once

#include <cstdint>

#include "picture_io.h"

// The built-in demo: a shadow play of hills drifting by, a cat walking across, birds flapping
// overhead and a moon that blooms into a flower and back. Every motion repeats after
// `frameCount` frames, so the animation loops without a seam.
GreyPicture RenderDemoFrame(uint32_t width, uint32_t height, uint32_t frame, uint32_t frameCount);

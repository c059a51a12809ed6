// The small rules of one worker turn that every platform's worker follows.
#pragma once

#include <cstdint>

// Frame index after a turn: a skip past the last frame starts over at frame 0 exactly.
int32_t NextFrameIndex(int32_t index, int32_t advance, int32_t frameCount);

// How long an uncapped turn that repeats the picture on screen waits: as long as the last new
// picture took (`ticks` of a clock running at `frequency`), at least 1 ms so that a still or a
// one-frame archive never spins a core, and at most a second so that a stop is not kept waiting.
uint32_t RepeatTurnMilliseconds(int64_t ticks, int64_t frequency);

// The small rules of one worker turn that every platform's worker follows.
#pragma once

#include <cstdint>

#include "playback/frame_clock.h"

// Frame index after a turn: a skip past the last frame starts over at frame 0 exactly.
int32_t NextFrameIndex(int32_t index, int32_t advance, int32_t frameCount);

// How long an uncapped turn that repeats the picture on screen waits: as long as the last new
// picture took (`ticks` of a clock running at `frequency`), at least 1 ms so that a still or a
// one-frame archive never spins a core, and at most a second so that a stop is not kept waiting.
uint32_t RepeatTurnMilliseconds(int64_t ticks, int64_t frequency);

// The pace of a worker's turns. With the 30-frames-per-second cap each turn waits for the next
// frame boundary; without it a turn lasts as long as its new picture takes, and a turn that
// repeats the picture on screen as long as the last new one did.
struct TurnPacing {
    bool limitFps = true;
    FramePacer pacer;  // its `running` may be set, so that a stop ends the wait
    uint32_t lastShowMs = 1;

    // At the start and after a pause: the time paused is not played through.
    void Start() { pacer.Start(); }
    // Around a new picture: the clock before it (read only without the cap), then after it.
    int64_t PictureBegins() const;
    void PictureShown(int64_t begun);
    // A turn that shows nothing new.
    void RepeatShown() const;
    // The end of every turn: the frames to advance by.
    int32_t EndTurn();
};

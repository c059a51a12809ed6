#include "playback/frame_turn.h"

int32_t NextFrameIndex(int32_t index, int32_t advance, int32_t frameCount) {
    const int64_t next = int64_t{index} + advance;
    return next >= frameCount ? 0 : int32_t(next);
}

int64_t TurnPacing::PictureBegins() const {
    return limitFps ? 0 : ClockCounter();
}

void TurnPacing::PictureShown(int64_t begun) {
    if (!limitFps)
        lastShowMs = RepeatTurnMilliseconds(ClockCounter() - begun, FrameClock::Frequency());
}

void TurnPacing::RepeatShown() const {
    if (!limitFps) ClockSleep(lastShowMs);
}

int32_t TurnPacing::EndTurn() {
    return limitFps ? pacer.Wait() : 1;
}

uint32_t RepeatTurnMilliseconds(int64_t ticks, int64_t frequency) {
    if (frequency <= 0 || ticks <= 0) return 1;
    if (ticks >= frequency) return 1000;
    const int64_t ms = ticks * 1000 / frequency;
    return ms < 1 ? 1u : uint32_t(ms);
}

#include "SoundClock.h"

void TSoundClock::Reset(uint32_t framesPerSecond)
{
    rate_ = framesPerSecond ? framesPerSecond : 1;
    frames_ = 0;
}

int TSoundClock::Advance(uint64_t frames)
{
    const uint64_t before = ticks();
    frames_ += frames;
    return int(ticks() - before);
}

int64_t TSoundClock::Milliseconds() const { return int64_t(frames_ * 1000 / rate_); }

// Ticks completed: whole 50 ms periods in the whole milliseconds heard, which is the same as whole
// periods in the frames heard; the period is never rounded to frames (at 11025 Hz one is 551.25).
uint64_t TSoundClock::ticks() const { return uint64_t(Milliseconds()) / kTickMs; }

#pragma once
// The time of the sound input, counted in the frames its buffers carry at the rate it was opened
// with. A recording played faster or slower than real time keeps its own time here, so that what
// the decoders time (a repeated call, an entry's age, a hunt on one channel) comes out as it would
// in a real-time run.
#include <cstdint>

class TSoundClock {
public:
    // The decoders' timed work runs every 50 ms of sound, as the window's timer does at real time.
    static constexpr int kTickMs = 50;

    // Back to no sound heard, at this rate (frames per second; 0 is taken as 1).
    void Reset(uint32_t framesPerSecond);
    // One buffer of that many frames was heard. Returns how many 50 ms ticks its sound completed.
    int Advance(uint64_t frames);

    uint64_t Frames() const { return frames_; }
    // The time the frames heard so far cover, in whole milliseconds.
    int64_t Milliseconds() const;

private:
    uint64_t ticks() const;
    uint32_t rate_ = 11025;
    uint64_t frames_ = 0;
};

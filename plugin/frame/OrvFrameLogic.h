#pragma once
// The decoder windows' per-buffer decisions, apart from the window so tests can drive them:
// which stereo channel carries the control channel, what the speakers and the data output do,
// and the automatic receiver volume.
#include "OrvHostLink.h"

#include <cstdint>

// Finds the input channel: flips between the two channels until enough valid control codewords
// (or frames) come in, then asks the host to confirm and settles.
// States: 0 searching (checked every 5 buffers), 1 confirming (after 13 buffers), 2 settled,
// 3 to 10 settled but skipping buffers (counting down to 2).
class TOrvInputChannelTest {
public:
    explicit TOrvInputChannelTest(int32_t threshold = 5) : Threshold(threshold) {}
    // One buffer, after BuffersSinceTune was counted. Returns false when the rest of the buffer's
    // handling is to be skipped.
    bool Step(int32_t& buffersSinceTune, int32_t& validCount, TOrvHostLink& link);
    // Starts again on channel 0. The count is zeroed too, so old codewords do not decide the first check.
    void Restart(int32_t& validCount);
    // Skips the next n buffers (only once settled).
    void SkipBuffers(int n);

    int32_t Threshold;  // more than this many valid codewords find the channel
    int32_t State = 0;
    int32_t DataChannel = 0;
    int32_t TestFrequency = 0;
};

// What the speakers and the host's data output do with one buffer.
struct TOrvOutputChoice {
    enum Kind { PerChannel, Unmuted, Muted } kind;
    int32_t dataOutput;  // the ORV_SET_DATA_OUTPUT parameter
    // PerChannel: the speaker channel that carries the data and the volume it gets; copyFrom is the
    // other channel when the data is not muted (its volume is copied), -1 when it is set to 0.
    int32_t channel = -1;
    int32_t copyFrom = -1;
};
TOrvOutputChoice ChooseOutput(bool mixerLinked, bool secondaryInUse, bool followingTraffic, bool muteData,
                              bool dataOut, int32_t dataChannel);

// The stereo sample index the data channel is read from.
inline int32_t DataSampleIndex(int32_t dataChannel) { return 1 - dataChannel; }

// Automatic volume: keeps the input peak between 60% and 70% of full scale, one step per buffer.
// Returns the receiver volume's new position before clamping.
int32_t AutoVolumeStep(int32_t valueMax, int32_t max, int32_t position);
// The sound-card volume that follows the receiver volume; 0 when the receiver has no range.
int32_t ScaledSoundVolume(int32_t rxPosition, int32_t rxMax, int32_t soundMax);
// A channel step the arithmetic can use: 12500 or 25000 (anything else, 0 included, gives 25000).
uint16_t ValidChannelSize(int32_t value);

#pragma once
// Bit recovery and framing of MPT1327 control and traffic channels: the demodulator's 0/1 levels
// become bits by run length, the bits become 64-bit codewords after a SYNC or SYNT word, and each
// codeword is handed on with the verdict of its check register.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "CodewordCheckRegister.h"

class TQelAFSKDemod;

constexpr uint16_t kMPT1327Sync = 0xC4D7;      // control channel sync word
constexpr uint16_t kMPT1327Synt = 0x3B28;      // traffic channel sync word, the complement of SYNC
constexpr uint16_t kMPT1327Preamble = 0xAAAA;
constexpr uint32_t kMPT1327BitRate = 1200;

// One framed codeword: Words[0] holds codeword bits 1-16 with bit 1 in its top bit, Words[3]
// bits 49-64.
struct TMPT1327Codeword {
    int Input = 0;  // 0 control, 1 traffic
    std::array<uint16_t, 4> Words{};
    bool Valid = false;
};

class TMPT1327CodewordSink {
public:
    virtual ~TMPT1327CodewordSink() = default;
    virtual void DecodeCodeword(const TMPT1327Codeword& codeword) = 0;
};

// Bit-recovery and framer state of one input.
struct TMPT1327InputState {
    uint16_t SamplePosition = 0;  // counts frames, wraps at 65536
    uint16_t EdgePosition = 0;    // sample position of the last level change
    int32_t LastLevel = 0;
    uint16_t ShiftRegister = 0;   // last 16 bits, newest in bit 0
    uint16_t BitCount = 0;        // bits of the current 16-bit word
    uint8_t FrameState = 0;       // 0 sync search, 1 to 4 expecting word 1 to 4
    std::array<uint16_t, 4> Words{};
    TCodewordCheckRegister Check;
};

// The window's demodulator setting for both inputs: band-pass 600-2400 Hz and low-pass 1200 Hz
// with 31 taps each, delay 9, blocks of 2048 frames.
void MPT1327DemodSetting(TQelAFSKDemod& demod, uint32_t samplingRate = 11025);

class TMPT1327Receiver {
public:
    static constexpr int kControl = 0;
    static constexpr int kTraffic = 1;

    explicit TMPT1327Receiver(TMPT1327CodewordSink& sink, uint32_t samplingRate = 11025);

    // Zeroes both inputs' state (window start); the check registers keep the generator.
    void Reset();
    uint32_t SamplingRate() const { return rate_; }
    // Changes the rate (0 becomes 1) and zeroes the state.
    void SetSamplingRate(uint32_t rate);

    // Bits in a run of `frames` equal levels: the run's length in bit periods at the exact
    // sampling rate, rounded to nearest (a run under half a bit gives none).
    uint32_t BitsForRun(uint16_t frames) const;

    // Shifts n equal bits into the framer of the control or the traffic input.
    void FeedBitsCtrl(uint32_t n, uint32_t bit) { feedBits(kControl, n, bit); }
    void FeedBitsTraffic(uint32_t n, uint32_t bit) { feedBits(kTraffic, n, bit); }

    // Demodulator levels (one per frame, 0 or non-zero) into an input's bit recovery.
    void FeedLevels(int input, const int32_t* levels, size_t count);

    // One stereo capture buffer of byteCount bytes: `channel` (0 left, 1 right) of every frame
    // through the input's demodulator, then its levels into the input's bit recovery.
    void ProcessBuffer(int input, TQelAFSKDemod& demod, const int16_t* data, uint32_t byteCount, int channel);

    const TMPT1327InputState& State(int input) const { return inputs_[index(input)]; }

private:
    static size_t index(int input) { return input == kTraffic ? 1 : 0; }
    void feedBits(int input, uint32_t n, uint32_t bit);
    void feedBit(int input, TMPT1327InputState& s, uint32_t bit);

    TMPT1327CodewordSink& sink_;
    uint32_t rate_;
    std::array<TMPT1327InputState, 2> inputs_;
    std::vector<int32_t> levels_;
};

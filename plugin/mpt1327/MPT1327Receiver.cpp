#include "MPT1327Receiver.h"

#include "QelAFSKDemod.h"

void MPT1327DemodSetting(TQelAFSKDemod& demod, uint32_t samplingRate)
{
    demod.SetSamplingRate(samplingRate);
    demod.SetBPCutOffLow(600);
    demod.SetBPCutOffHigh(2400);
    demod.SetBPTapsNum(31);
    demod.SetLPCutOff(1200);
    demod.SetLPTapsNum(31);
    demod.SetDelay(9);
    demod.SetBufferSize(2048);
}

TMPT1327Receiver::TMPT1327Receiver(TMPT1327CodewordSink& sink, uint32_t samplingRate)
    : sink_(sink), rate_(samplingRate ? samplingRate : 1)
{
    Reset();
}

void TMPT1327Receiver::Reset()
{
    for (TMPT1327InputState& s : inputs_) {
        s = TMPT1327InputState{};
        CrcInit(s.Check, kMPT1327Generator);
    }
}

void TMPT1327Receiver::SetSamplingRate(uint32_t rate)
{
    rate_ = rate ? rate : 1;
    Reset();
}

uint32_t TMPT1327Receiver::BitsForRun(uint16_t frames) const
{
    // (frames + half a bit) / samples per bit with samples per bit = rate / 1200 kept exact; at
    // 11025 Hz a whole 9 samples per bit would gain a bit on runs of 22 bits and more.
    const uint64_t twice = 2 * uint64_t{frames} * kMPT1327BitRate + rate_;
    return static_cast<uint32_t>(twice / (2 * uint64_t{rate_}));
}

void TMPT1327Receiver::FeedLevels(int input, const int32_t* levels, size_t count)
{
    TMPT1327InputState& s = inputs_[index(input)];
    for (size_t i = 0; i < count; ++i) {
        const int32_t level = levels[i] != 0;
        if (level != s.LastLevel) {
            const uint16_t run = static_cast<uint16_t>(s.SamplePosition - s.EdgePosition);
            feedBits(input, BitsForRun(run), static_cast<uint32_t>(s.LastLevel));
            s.LastLevel = level;
            s.EdgePosition = s.SamplePosition;
        }
        ++s.SamplePosition;
    }
}

void TMPT1327Receiver::ProcessBuffer(int input, TQelAFSKDemod& demod, const int16_t* data, uint32_t byteCount,
                                     int channel)
{
    const uint32_t frames = byteCount / 4;
    if (frames == 0)
        return;
    if (levels_.size() < frames)
        levels_.resize(frames);
    const int32_t samples = static_cast<int32_t>(frames * 2);
    demod.ProcessBuffer(levels_.data(), data + (channel ? 1 : 0), samples - (channel ? 1 : 0), 2);
    FeedLevels(input, levels_.data(), frames);
}

void TMPT1327Receiver::feedBits(int input, uint32_t n, uint32_t bit)
{
    TMPT1327InputState& s = inputs_[index(input)];
    bit = bit ? 1 : 0;
    for (uint32_t i = 0; i < n; ++i)
        feedBit(input, s, bit);
}

void TMPT1327Receiver::feedBit(int input, TMPT1327InputState& s, uint32_t bit)
{
    s.ShiftRegister = static_cast<uint16_t>((s.ShiftRegister << 1) | bit);
    ++s.BitCount;
    const bool sync = s.ShiftRegister == kMPT1327Sync || s.ShiftRegister == kMPT1327Synt;
    // a sync word anywhere restarts framing, unless it is exactly the last word of a codeword
    if (sync && !(s.FrameState == 4 && s.BitCount == 16))
        s.FrameState = 0;
    if (s.FrameState == 0) {
        if (sync) {
            s.BitCount = 0;
            s.FrameState = 1;
        }
        s.Check.Remainder = 0;
        s.Check.Parity = 0;
        return;
    }
    // bits 1-63 into the check, bit 63 inverted; bit 64 only into the parity, below
    if (s.FrameState < 4 || s.BitCount < 15)
        CrcAddBit(s.Check, bit);
    else if (s.BitCount == 15)
        CrcAddBit(s.Check, 1 - bit);
    if (s.BitCount != 16)
        return;
    s.BitCount = 0;
    switch (s.FrameState) {
    case 1:
        s.Words[0] = s.ShiftRegister;
        s.FrameState = s.ShiftRegister == kMPT1327Preamble ? 0 : 2;
        break;
    case 2:
        s.Words[1] = s.ShiftRegister;
        s.FrameState = 3;
        break;
    case 3:
        s.Words[2] = s.ShiftRegister;
        s.FrameState = 4;
        break;
    default: {
        s.Words[3] = s.ShiftRegister;
        s.FrameState = 1;
        s.Check.Parity ^= 1 - bit;
        TMPT1327Codeword cw;
        cw.Input = input == kTraffic ? kTraffic : kControl;
        cw.Words = s.Words;
        cw.Valid = CrcValid(s.Check);
        sink_.DecodeCodeword(cw);
        s.Check.Remainder = 0;
        s.Check.Parity = 0;
        break;
    }
    }
}
